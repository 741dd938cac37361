#pragma once

#include <string>

namespace vorlaxen {

// The statistics of the file being processed, as the progress timer writes them.
struct ProgressStatistics {
    std::string estimated;  // StatusBar1 panel 0
    std::string done;       // StatusBar1 panel 1
    std::string size;       // StatusBar1 panel 2
    std::string elapsed;    // StatusBar2 panel 0
    std::string remaining;  // StatusBar2 panel 1
    std::string throughput; // StatusBar2 panel 2
};

// The progress area under the panes (`ProgressBar1` under the source pane, `ProgressBar2` under the
// crypted pane, range 0 to 100), the progress timer `Process_Timer`, the two statistics bars and the
// stop button `StopProcess_Button`.
class ProgressArea {
public:
    virtual ~ProgressArea() = default;

    // RaiseLists: both panes 16 pixels shorter, both bars at 0 and shown. DropLists: the panes 16 pixels
    // taller again, both bars hidden.
    virtual void RaiseLists() = 0;
    virtual void DropLists() = 0;
    virtual void SetProgressBars(int sourceBar, int cryptedBar) = 0;

    // Starts or stops the progress timer; each tick calls Process_TimerTimer of the logic.
    virtual void StartProcessTimer(int intervalMilliseconds) = 0;
    virtual void StopProcessTimer() = 0;
    virtual void ShowStatistics(const ProgressStatistics& statistics) = 0;

    // Its clicks call Button1Click of the logic.
    virtual void EnableStopButton(bool on) = 0;
};

} // namespace vorlaxen
