#pragma once

namespace vorlaxen {

// Which way a file goes: encryption takes files from "Available for encryption", decryption from
// "Crypted files".
enum class Direction { Encrypt = 0, Decrypt = 1 };

} // namespace vorlaxen
