#pragma once

#include <QApplication>

#include <memory>

class CMainFrame;

// The application: sets up the toolkit and the settings' name, creates and shows the main window.
// The command line is not interpreted.
class CKerflineApp : public QApplication {
    Q_OBJECT
public:
    CKerflineApp(int& argc, char** argv);
    ~CKerflineApp() override;

    // Creates and shows the main window; false (after a message) when it cannot be created.
    bool initInstance();
    CMainFrame* mainFrame() const { return m_mainFrame.get(); }

private:
    std::unique_ptr<CMainFrame> m_mainFrame;
};
