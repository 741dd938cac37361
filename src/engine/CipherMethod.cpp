#include "engine/CipherMethod.h"

#include <iterator>

namespace vorlaxen {

namespace {

constexpr MethodInfo kMethods[] = {
    {CipherMethod::DesUnchained, '7', kShortHeaderLength, 8, "DES", nullptr},
    {CipherMethod::Idea, '8', kLongHeaderLength, 16, "IDEA", "idea"},
    {CipherMethod::DesTyped, 'A', kShortHeaderLength, 8, "DES", nullptr},
    {CipherMethod::Des, 'B', kLongHeaderLength, 8, "DES", "des"},
    {CipherMethod::TripleDes, 'C', kLongHeaderLength, 24, "3xDES", "3xdes"},
};

constexpr bool InCodeOrder() {
    for (std::size_t i = 0; i < std::size(kMethods); ++i)
        if (CodeOf(kMethods[i].code) != static_cast<std::int32_t>(i))
            return false;
    return true;
}
static_assert(InCodeOrder(), "InfoOf finds a method's row by its code");

} // namespace

std::span<const MethodInfo> Methods() noexcept {
    return kMethods;
}

const MethodInfo* MethodByCode(std::int32_t code) noexcept {
    for (const auto& method : kMethods)
        if (CodeOf(method.code) == code)
            return &method;
    return nullptr;
}

const MethodInfo* MethodByLetter(std::uint8_t letter) noexcept {
    for (const auto& method : kMethods)
        if (static_cast<std::uint8_t>(method.letter) == letter)
            return &method;
    return nullptr;
}

const MethodInfo* MethodBySpelling(std::string_view spelling) noexcept {
    for (const auto& method : kMethods)
        if (method.writable() && spelling == method.spelling)
            return &method;
    return nullptr;
}

const MethodInfo* MethodOfSetting(std::int32_t code) noexcept {
    const MethodInfo* method = MethodByCode(code);
    return method && method->writable() ? method : nullptr;
}

const MethodInfo& InfoOf(CipherMethod method) noexcept {
    return kMethods[static_cast<std::size_t>(CodeOf(method))];
}

CipherMethod WritableMethod(std::int32_t requestedCode) noexcept {
    const MethodInfo* method = MethodOfSetting(requestedCode);
    return method ? method->code : CipherMethod::Des;
}

CipherMethod WritableMethod(CipherMethod requested) noexcept {
    return WritableMethod(CodeOf(requested));
}

std::string MethodName(CipherMethod method) {
    const MethodInfo* info = MethodByCode(CodeOf(method));
    return info ? info->name : "";
}

std::string MethodSpellings(std::string_view separator) {
    std::string joined;
    for (const auto& method : kMethods)
        if (method.writable())
            joined.append(joined.empty() ? "" : separator).append(method.spelling);
    return joined;
}

} // namespace vorlaxen
