#pragma once

namespace vorlaxen {

// The two one-second expiry timers (`PwdTimer`, `MasterPwd_Timer`) and the tool buttons that make a
// password expire now (`PwdExpire_Button`, `MasterPwdExpire_Button`). Enabling a timer starts it from a
// full second; its ticks call PwdTimerTimer and MasterPwd_TimerTimer of the logic.
class ExpiryControls {
public:
    virtual ~ExpiryControls() = default;
    virtual void EnablePwdTimer(bool on) = 0;
    virtual void EnablePwdExpireButton(bool on) = 0;
    virtual void EnableMasterPwdTimer(bool on) = 0;
    virtual void EnableMasterPwdExpireButton(bool on) = 0;
};

} // namespace vorlaxen
