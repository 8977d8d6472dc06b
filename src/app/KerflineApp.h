#pragma once

#include <QApplication>

#include <memory>

class CMainFrame;

// The application: sets up the toolkit and the settings' name, creates and shows the main window.
// The command line is read by main() (app/CommandLine.h).
class CKerflineApp : public QApplication {
    Q_OBJECT
public:
    CKerflineApp(int& argc, char** argv);
    ~CKerflineApp() override;

    // Creates and shows the main window; false (after a message) when it cannot be created.
    bool initInstance();
    // Once the event loop runs, gives `path` to the open routine as a recent-file entry does.
    void openWhenShown(const QString& path);
    CMainFrame* mainFrame() const { return m_mainFrame.get(); }

private:
    std::unique_ptr<CMainFrame> m_mainFrame;
};
