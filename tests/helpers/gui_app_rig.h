#pragma once

// The desktop program on fake services for the window tests: a settings file in a fresh
// temporary tree (one file setting "src" with a few files, destination "bak"), the
// application object with its main frame, fake timers and change notifiers, and the real
// timed message box answering from its queue. Only the window tests include this (it
// needs the widgets).

#include <QAction>
#include <QMessageBox>
#include <QtTest>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/tovix_app.h"
#include "framework/profile.h"
#include "helpers/fake_front_end.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"

// Forwards to the view (so the lists fill as in the program) and keeps what passed.
class CTeeSink final : public IMessageSink
{
public:
    void SetStatusText(const std::string& text) override
    {
        if (next)
            next->SetStatusText(text);
    }
    void AddReportRow(const CMessageRow& row) override
    {
        record.AddReportRow(row);
        if (next)
            next->AddReportRow(row);
    }
    void AddErrorRow(const CMessageRow& row) override
    {
        record.AddErrorRow(row);
        if (next)
            next->AddErrorRow(row);
    }
    bool PlaySoundFile(const std::string& path) override { return record.PlaySoundFile(path); }
    void Beep(EBeep beep) override { record.Beep(beep); }

    IMessageSink* next = nullptr;
    CRecordingSink record;
};

// The texts of the message boxes shown while it lives, in order.
class CBoxRecorder final : public QObject
{
public:
    CBoxRecorder() { QCoreApplication::instance()->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            if (auto* box = qobject_cast<QMessageBox*>(watched))
                texts << box->text();
        return false;
    }
    QStringList texts;
};

struct CGuiAppRig
{
    using Milliseconds = std::chrono::milliseconds;

    // settingLines: more lines of the [Setting] section; sections: more sections after
    // [Backup]; arguments: more options.
    explicit CGuiAppRig(const std::string& settingLines = {}, std::vector<std::string> arguments = {},
                        const std::string& sections = {})
    {
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            tree.WriteFile(std::string("src/") + name, name);
        tree.MakeFolder("bak");
        settingsPath = tree.WriteFile(
            "test.TVX", "[Setting]\r\nBakCopyPath=" + tree.Path("bak") + "\r\nRecycle2="
                            + tree.Path("recycle") + "\r\nDispDetailInfo=1\r\n" + settingLines
                            + "[Backup]\r\nFiles=1\r\nNo0=" + tree.Path("src") + "\r\nSub0=1\r\n" + sections);
        arguments.insert(arguments.begin(), {"-i", settingsPath});
        CDesktopServices services{&host.pump, &host.timers, &host.clock,
                                  &host.keys, &notifiers,   host.Services()};
        app = std::make_unique<CTovixApp>(CCommandLine(std::move(arguments)), services);
        CwProfile::SetStore(&app->App().Core().Profile());
        // Nothing outside the test is started or opened.
        app->SetLauncher([this](const std::string& program, const std::string& argument) {
            launched.push_back(program + " " + argument);
            return true;
        });
        app->SetOpener([this](const std::string& path) {
            opened.push_back(path);
            return true;
        });
        started = app->InitInstance();
        if (started) {
            tee.next = Frame()->View();
            app->App().SetMessageSink(&tee);
        }
    }
    ~CGuiAppRig()
    {
        app->ExitInstance();
        app.reset();
        CwProfile::SetStore(nullptr);
    }

    CMainFrame* Frame() const { return app->MainFrame(); }
    CAppState& State() { return app->App().State(); }
    QAction* Command(int id) const { return Frame()->Command(id); }
    void Trigger(int id) { Command(id)->trigger(); }

    // A change seen at the first poll starts a pass after the delay (poll at 3.5 s,
    // delay 5 s).
    void RunPassAfterChange()
    {
        notifiers.Signal(tree.Path("src"));
        host.timers.Advance(Milliseconds(9000));
    }
    // The action runs once the status timer has polled inside the pass, so that menu and
    // toolbar show the pass (they follow the state at the polls).
    void AtFirstPumpOfPass(std::function<void()> action)
    {
        host.pump.pumpCount = 0;
        host.pump.actionsAtPump[1] = [this, action = std::move(action)] {
            host.timers.Advance(Milliseconds(3500));
            action();
        };
    }
    std::vector<std::string> InfoMessages() const
    {
        std::vector<std::string> messages;
        for (const CMessageRow& row : tee.record.RowsOfKind(MessageKind::kInfo))
            messages.push_back(row.message);
        return messages;
    }

    CFakeHost host;
    CTempTree tree;
    CFakeNotifierFactory notifiers{host.timers};
    CTeeSink tee;
    CBoxRecorder boxes;
    std::string settingsPath;
    std::vector<std::string> launched;
    std::vector<std::string> opened;
    std::unique_ptr<CTovixApp> app;
    bool started = false;
};
