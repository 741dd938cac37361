// The container reader on arbitrary bytes: decryption and verification never crash, agree with each
// other, and leave nothing behind but the container itself (and, on success, its plain file).

#include "FuzzWorkDir.h"
#include "engine/ContainerFormat.h"
#include "engine/TKX_Pwd.h"

#include <unistd.h>

using namespace vorlaxen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string container = fuzz::WorkDirectory() + "/x.cry";
    const std::string plain = fuzz::WorkDirectory() + "/x";
    fuzz::WriteInput(container, data, size);

    // The password of the seed containers, so that mutations get past the key check into the body.
    TKX_Pwd pwd;
    pwd.SetPassword("goldenpw");
    int overwrites = 0;
    EngineHooks hooks;
    hooks.wipeOutput = [&overwrites](int) {
        ++overwrites;
        return true;
    };
    pwd.SetHooks(hooks);

    ContainerInfo info;
    (void)ReadContainerInfo(container, info);
    const ResultCode verified = pwd.VerifyFile(container);
    const ResultCode decrypted = pwd.DecryptFile(container);
    if (verified != decrypted)
        fuzz::Finding("verification and decryption disagree");
    const auto names = fuzz::NamesInWorkDirectory();
    const std::vector<std::string> expected =
        decrypted == ResultCode::Ok ? std::vector<std::string>{"x", "x.cry"} : std::vector<std::string>{"x.cry"};
    if (names != expected)
        fuzz::Finding("a decryption left files behind");
    if (decrypted == ResultCode::Ok && overwrites != 0)
        fuzz::Finding("a successful decryption overwrote its output");
    ::unlink(plain.c_str());
    ::unlink(container.c_str());
    return 0;
}
