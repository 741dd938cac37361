// The settings parser on arbitrary text: parsing never crashes, and whatever parses is written and
// parsed again unchanged.

#include "FuzzWorkDir.h"
#include "platform/RegistryFile.h"

#include <string_view>

using namespace vorlaxen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto file = RegistryFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!file)
        return 0;
    const std::string written = file->Serialize();
    const auto again = RegistryFile::Parse(written, error);
    if (!again)
        fuzz::Finding("what the store wrote does not parse: " + error);
    if (!(*again == *file))
        fuzz::Finding("what the store wrote parses into something else");
    if (again->Serialize() != written)
        fuzz::Finding("writing again gives another text");
    return 0;
}
