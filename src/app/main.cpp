#include "app/CommandLine.h"
#include "app/KerflineApp.h"
#include "app/MainFrame.h"

#include <cstdio>

namespace {

constexpr int kBadUsage = 2;

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

} // namespace

int main(int argc, char** argv) {
    // --help and --version are answered before the toolkit starts, so they work without a display.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i) {
        rawArguments << QString::fromLocal8Bit(argv[i]);
    }
    if (const CommandLineRequest early = parseCommandLine(rawArguments);
        early.action == CommandLineRequest::Action::ShowHelp ||
        early.action == CommandLineRequest::Action::ShowVersion) {
        print(stdout, early.text);
        return 0;
    }
    // The rest is read once QApplication has taken out its own options (-platform, -style ...).
    CKerflineApp app(argc, argv);
    const CommandLineRequest request = parseCommandLine(CKerflineApp::arguments());
    switch (request.action) {
    case CommandLineRequest::Action::ShowHelp:
    case CommandLineRequest::Action::ShowVersion:
        print(stdout, request.text);
        return 0;
    case CommandLineRequest::Action::BadUsage:
        print(stderr, request.text);
        return kBadUsage;
    case CommandLineRequest::Action::Run:
        break;
    }
    if (!app.initInstance()) {
        return 1;
    }
    if (!request.file.isEmpty()) {
        app.openWhenShown(request.file);
    }
    return app.exec();
}
