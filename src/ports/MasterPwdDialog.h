#pragma once

#include "ports/SubmitCheck.h"

#include <functional>

namespace vorlaxen {

// The master password dialog `TMasterPwd_Form` ("The Master password", two boxes), shown modally with
// its boxes emptied and the focus in MaskEdit1. "Submit", Enter and a click into MaskEdit2 run `submit`
// and act on its answer (Close gives DialogResult::Ok); "Do not use now" closes with Cancel; "Do not use
// at all" runs `notUseAtAll` and then closes with Cancel.
class MasterPwdDialog {
public:
    virtual ~MasterPwdDialog() = default;
    virtual DialogResult ShowMasterPwdForm(const SubmitCheck& submit, const std::function<void()>& notUseAtAll) = 0;
};

} // namespace vorlaxen
