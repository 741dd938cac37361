#include "fileops/StoredPasswordFirst.h"

namespace vorlaxen {

std::optional<SingleFileOutcome>
TryStoredPasswordFirst(const std::function<std::optional<SingleFileOutcome>(const PasswordTry&)>& attempt,
                       const std::function<KeyFilePassword*()>& stored,
                       const std::function<bool()>& takeGiven) {
    const std::optional<SingleFileOutcome> first = attempt(PasswordTry{});
    KeyFilePassword* used = stored();
    if (!first || first->Written() || !used || !used->Found())
        return first;
    used->NotDecrypted();
    if (first->status != SingleFileStatus::Failed || first->code != ResultCode::WrongPassword || !takeGiven())
        return first;
    return attempt(PasswordTry{true, first->replaceAgreed});
}

} // namespace vorlaxen
