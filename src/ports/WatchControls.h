#pragma once

namespace vorlaxen {

// The controls of the watch on opened files: the 200 ms timer `NotifyOpenFiles_Timer`, whose ticks call
// NotifyOpenFiles, and the File menu's "Re-encrypt opened files".
class WatchControls {
public:
    virtual ~WatchControls() = default;
    virtual void EnableNotifyOpenFilesTimer(bool on) = 0;
    virtual void EnableReencryptItem(bool on) = 0;
};

} // namespace vorlaxen
