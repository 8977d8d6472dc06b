#pragma once

#include <QString>
#include <QStringList>

// What the window program's command line asks for. The toolkit's own options (-platform, -style
// and the like) are taken out by QApplication before this sees the arguments.
struct CommandLineRequest {
    enum class Action { Run, ShowHelp, ShowVersion, BadUsage };
    Action action = Action::Run;
    // The file to open once the main window is shown, as an absolute path; empty for none.
    QString file;
    // What to print: the help or version text for stdout, or the problem and the usage for stderr.
    QString text;
};

// `arguments` as QCoreApplication::arguments() gives them, the program's name first.
CommandLineRequest parseCommandLine(const QStringList& arguments);
