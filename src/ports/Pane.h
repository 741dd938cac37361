#pragma once

namespace vorlaxen {

// The two file panes: `Source_ListView` ("Available for encryption") and `Crypted_ListView` ("Crypted
// files").
enum class Pane { Source, Crypted };

} // namespace vorlaxen
