#pragma once

namespace vorlaxen {

// Which way a file goes: encryption takes files from "Available for encryption", decryption from
// "Crypted files". The numbers are the direction arguments of the pane operations.
enum class Direction { Encrypt = 0, Decrypt = 1 };

} // namespace vorlaxen
