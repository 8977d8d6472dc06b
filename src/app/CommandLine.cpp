#include "app/CommandLine.h"

#include "kerfline/Version.h"

#include <QCommandLineParser>
#include <QFileInfo>

CommandLineRequest parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Cuts an MP3 file into pieces without re-encoding it. Opens FILE when one is given."));
    // Not addHelpOption(): it adds --help-all, which only QCommandLineParser::process() answers.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help and exits."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("an MP3 file to open"),
                                 QStringLiteral("[FILE]"));

    // The toolkit names the program after argv[0], or not at all before it starts: say it plainly.
    QString helpText = parser.helpText();
    helpText.replace(0, helpText.indexOf(QLatin1Char('\n')),
                     QStringLiteral("Usage: kerfline [options] [FILE]"));

    CommandLineRequest request;
    const auto badUsage = [&](const QString& problem) {
        request.action = CommandLineRequest::Action::BadUsage;
        request.text = QStringLiteral("kerfline: %1\n\n%2").arg(problem, helpText);
        return request;
    };
    if (!parser.parse(arguments)) {
        return badUsage(parser.errorText());
    }
    if (parser.isSet(help)) {
        request.action = CommandLineRequest::Action::ShowHelp;
        request.text = helpText;
        return request;
    }
    if (parser.isSet(version)) {
        request.action = CommandLineRequest::Action::ShowVersion;
        request.text = QLatin1String(kKerflineProductLine) + QLatin1Char('\n');
        return request;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        // One window holds one file: rather than open one of several, say so.
        return badUsage(QStringLiteral("one file at a time, not %1").arg(files.size()));
    }
    if (!files.isEmpty()) {
        // The recent-file list keeps full paths; a missing file is the open routine's to report.
        request.file =
            files.constFirst().isEmpty() ? QString() : QFileInfo(files.constFirst()).absoluteFilePath();
    }
    return request;
}
