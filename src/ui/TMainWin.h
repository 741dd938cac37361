#pragma once

#include "fileops/ProgramObjects.h"
#include "fileops/ProgramSettings.h"
#include "fileops/StartupSequence.h"
#include "platform/Host.h"
#include "platform/SettingsStore.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QLabel;

namespace vorlaxen {

// The main window, the only window shown without being modal and the owner of everything else. Creating
// it creates the four program-wide objects in their order and reads the settings; its first activation
// runs the start-up steps once; destroying it writes the settings and then destroys the objects in their
// creation order. It is also the host through which the program's logic shows messages and status.
class TMainWin : public QMainWindow, public Host {
    Q_OBJECT

public:
    explicit TMainWin(SettingsStore::Locations settingsLocations = SettingsStore::DefaultLocations(),
                      QWidget* parent = nullptr);
    ~TMainWin() override;

    // Host
    MessageAnswer ShowMessage(MessageKind kind, const std::string& text, MessageButtons buttons) override;
    void ShowStatus(const std::string& text) override;
    void LetPendingEventsRun() override;
    void AskMasterPassword() override;

    ProgramObjects& objects() { return *objects_; }
    StartupSequence& startup() { return startup_; }

    // Program-wide settings without another home.
    bool OnePerList = false;
    bool ShowCry = false;
    bool ShowTip = false;
    std::int32_t Method = 0;
    std::string HelpFile;

protected:
    bool event(QEvent* e) override;

private:
    void createWidgets();
    void ReadSettings();
    void WriteSettings();
    ProgramSettings collectSettings() const;
    void applySettings(const ProgramSettings& settings);

    SettingsStore store_;
    std::unique_ptr<ProgramObjects> objects_;
    StartupSequence startup_;
    QLabel* statusLine_ = nullptr;

    // Held here until the panes and the status area take them over.
    std::array<std::int32_t, 5> sourceColumns_{};
    std::array<std::int32_t, 5> cryptedColumns_{};
    std::array<BandLayout, 4> bands_{};
};

} // namespace vorlaxen
