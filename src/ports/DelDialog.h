#pragma once

#include <string>

namespace vorlaxen {

// The answers of `TDelDialog` ("Please confirm this action").
enum class DelAnswer {
    Delete,    // "&Delete" (default button)
    DeleteAll, // "Delete &All"
    Cancel,    // "&Cancel" (Escape)
    CancelAll, // "Ca&ncel All"
};

// `TDelDialog`: "Are you sure to delete the file" above FName_Label in bold.
class DelDialog {
public:
    virtual ~DelDialog() = default;
    // `question` is the file's full path followed by "?", for FName_Label.
    virtual DelAnswer ShowDelDialog(const std::string& question) = 0;
};

} // namespace vorlaxen
