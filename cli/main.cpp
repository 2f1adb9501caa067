// tarquell-translate: the Translate command in a terminal.
#include "cli/CommandLine.h"
#include "cli/LanguageList.h"
#include "cli/LocalService.h"
#include "cli/StreamTranslateView.h"
#include "common/LanguageDetector.h"

#include "platform/CommandGuard.h"
#include "platform/ConfigPaths.h"
#include "platform/Errors.h"
#include "platform/ProfileFile.h"
#include "service/DocumentClient.h"
#include "service/THTTPRIO.h"
#include "translate/DocumentTranslation.h"
#include "translate/Languages.h"
#include "translate/MainSettings.h"
#include "translate/ServerComponents.h"
#include "translate/ServerLegRunner.h"
#include "translate/TextServers.h"
#include "translate/TranslateCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace {
struct Input
{
    QString name;
    QString text;
    bool document = false; // read when its turn comes
};

QString inputName(const Input& input)
{
    return input.name == QLatin1String("-") ? QStringLiteral("standard input") : input.name;
}

// Every input is read before anything is sent, so that a missing file
// costs no translation.
bool readInputs(const QStringList& files, QList<Input>& inputs, TerminalDialogs& err)
{
    const QStringList names = files.isEmpty() ? QStringList{QStringLiteral("-")} : files;
    for (const QString& name : names) {
        if (name != QLatin1String("-") && DocumentTranslation::isDocument(name)) {
            // A document only has to be there now; its bytes are read
            // when its turn comes.
            QFile file(name);
            if (!file.open(QIODevice::ReadOnly) || QFileInfo(name).isDir()) {
                err.error(QStringLiteral("cannot read %1: %2")
                              .arg(name, QFileInfo(name).isDir() ? QStringLiteral("it is a folder")
                                                                 : file.errorString()));
                return false;
            }
            inputs.append({name, QString(), true});
            continue;
        }
        QFile file;
        bool ok;
        if (name == QLatin1String("-")) {
            ok = file.open(stdin, QIODevice::ReadOnly);
        } else {
            file.setFileName(name);
            ok = file.open(QIODevice::ReadOnly);
        }
        if (!ok) {
            err.error(QStringLiteral("cannot read %1: %2").arg(name, file.errorString()));
            return false;
        }
        inputs.append({name, QString::fromUtf8(file.readAll())});
    }
    return true;
}

// Progress of a document on standard error, on one line that is written
// over, when standard error is a terminal.
class DocumentProgressLine
{
public:
    DocumentProgressLine(QFile& err, bool terminal) : m_err(err), m_terminal(terminal) {}
    void show(const QString& name, int percent)
    {
        if (!m_terminal || percent == m_percent)
            return;
        m_percent = percent;
        write(percent < 0 ? QStringLiteral("%1: translating ...").arg(name)
                          : QStringLiteral("%1: translating ... %2%").arg(name).arg(percent));
    }
    void clear()
    {
        if (m_width > 0)
            write(QString());
        m_percent = -2;
    }

private:
    void write(const QString& text)
    {
        const qsizetype pad = std::max<qsizetype>(0, m_width - text.size());
        m_err.write((QLatin1Char('\r') + text + QString(pad, QLatin1Char(' ')) + QLatin1Char('\r'))
                        .toUtf8());
        m_err.flush();
        m_width = text.size();
    }

    QFile& m_err;
    bool m_terminal;
    int m_percent = -2;
    qsizetype m_width = 0;
};

// One document through the document service into its file. Failures are
// told on standard error and counted by the caller; the run goes on.
bool translateDocument(DocumentClient& client, const Input& input, const QString& source,
                       const QString& target, const QString& output, TerminalDialogs& dialogs,
                       DocumentProgressLine& line, const std::function<void(QString)>& tell)
{
    const QString name = QFileInfo(input.name).fileName();
    try {
        DocumentTranslation::checkType(input.name);
        QString to =
            output.isEmpty() ? DocumentTranslation::proposedOutput(input.name, target) : output;
        if (DocumentTranslation::sameFile(input.name, to))
            throw TarquellError(QStringLiteral("the translation would be written over the "
                                               "original; name another output with -o"));
        const QByteArray data = DocumentTranslation::readDocument(input.name);
        line.show(name, 0);
        const DocumentClient::Result result = client.translate(
            input.name, data, source, target, [&](const DocumentClient::Progress& p) {
                line.show(name, DocumentClient::percentOf(p));
            });
        line.clear();
        if (!result.detectedLanguage.isEmpty())
            tell(QStringLiteral("Detected language of %1: %2 (%3)")
                     .arg(input.name, LanguageCodeToName(result.detectedLanguage),
                          result.detectedLanguage));
        // The name says the type the service gave (.docx for a type
        // LibreOffice cannot write), unless -o named the file.
        if (output.isEmpty())
            to = DocumentTranslation::withFormat(to, result.format);
        else if (!result.format.isEmpty() && !to.endsWith(result.format, Qt::CaseInsensitive))
            dialogs.warn(QStringLiteral("the translation of %1 is a %2 document; it is written "
                                        "to %3 as named")
                             .arg(input.name, result.format, to));
        DocumentTranslation::save(to, result.file, input.name);
        tell(QStringLiteral("Translated %1 into %2").arg(input.name, QDir::toNativeSeparators(to)));
        return true;
    } catch (const DocumentServiceDown& e) {
        line.clear();
        dialogs.warn(DocumentTranslation::failure(
            input.name, e.message() + QStringLiteral(" (start it with tarquell-service)")));
    } catch (const TarquellError& e) {
        line.clear();
        dialogs.warn(DocumentTranslation::failure(input.name, e.message()));
    } catch (const SilentAbort&) {
        line.clear();
        dialogs.warn(DocumentTranslation::failure(input.name, QStringLiteral("cancelled")));
    }
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly);
    TerminalDialogs dialogs(err);

    CommandLine command;
    try {
        command = CommandLine::parse(app.arguments().mid(1));
    } catch (const TarquellError& e) {
        dialogs.error(e.message());
        err.write("Try 'tarquell-translate --help'.\n");
        return 2;
    }
    if (command.help) {
        out.write(CommandLine::usage().toUtf8());
        return 0;
    }
    // The window's settings: languages when none are given, the service
    // locations, the proxy and the time-out.
    ProfileFile file(ConfigPaths::settingsFilePath());
    file.load();
    MainSettings settings;
    settings.loadOptions(file);
    settings.loadSettings(file);
    const ServiceLocations services = ServiceLocations::read(file);
    TranslateRequest request;
    request.SrcLangCode =
        command.from.isEmpty() ? languageCodeOf(settings.SrcLangCode) : command.from;
    request.DstLangCode = command.to.isEmpty() ? languageCodeOf(settings.DstLangCode) : command.to;
    request.MultiThreading = command.piece > 0;
    request.MTQuote = command.piece;

    QList<Input> inputs;
    if (!command.list && !readInputs(command.files, inputs, dialogs))
        return 2;
    if (!command.output.isEmpty() && inputs.size() != 1) {
        dialogs.error(QStringLiteral("-o names the output of one input; give one FILE"));
        return 2;
    }
    // -o for text: the translation goes to that file instead of standard
    // output, never over the input.
    QFile outFile;
    if (!command.output.isEmpty() && !inputs.front().document) {
        if (inputs.front().name != QLatin1String("-") &&
            DocumentTranslation::sameFile(inputs.front().name, command.output)) {
            dialogs.error(QStringLiteral("-o %1 would write over the input").arg(command.output));
            return 2;
        }
        outFile.setFileName(command.output);
        if (!outFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            dialogs.error(
                QStringLiteral("cannot write %1: %2").arg(command.output, outFile.errorString()));
            return 2;
        }
    }
    QFile& textOut = outFile.isOpen() ? outFile : out;
    bool anyText = command.list;
    bool anyDocument = false;
    for (const Input& input : std::as_const(inputs))
        (input.document ? anyDocument : anyText) = true;

    QFile* status = command.verbose ? &err : nullptr;
    auto tell = [status](const QString& text) {
        if (status) {
            status->write((text + QLatin1Char('\n')).toUtf8());
            status->flush();
        }
    };

    const TextServerInfo& server = textServer(command.server);
    QString location = services.server[server.number - 1];
    LocalService local;
    if (anyText && location == ServiceLocations::Defaults[server.number - 1]) {
        QString note;
        location = local.locationFor(location, command.verbose, &note);
        if (local.available())
            tell(note);
        else
            dialogs.warn(note); // the call will fail: say why first
    }
    THTTPRIO rio;
    setUpComponent(rio, server);
    rio.HTTPWebNode().setDialogs(&dialogs);
    giveSettings(rio, location, settings);
    if (command.list) {
        // What the service translates now, when it can say.
        QString note;
        out.write(LanguageList::ask(rio.HTTPWebNode(), location, &note).toUtf8());
        tell(note);
        return 0;
    }
    // The service names the engine that translated (a remote server's
    // translation has left this machine).
    QStringList engines;
    if (command.verbose) {
        QObject::connect(&rio.HTTPWebNode(), &THTTPReqResp::postAnswered,
                         [&engines](const THTTPReqResp::Headers& headers) {
                             for (const auto& [name, value] : headers) {
                                 const QString engine = QString::fromUtf8(value);
                                 if (name.compare("X-Tarquell-Engine", Qt::CaseInsensitive) == 0 &&
                                     !engines.contains(engine))
                                     engines << engine;
                             }
                         });
    }

    // Documents: the document service of the settings, or the private
    // service of this run.
    DocumentClient documents;
    if (anyDocument) {
        QString documentLocation = services.documentService;
        if (documentLocation == ServiceLocations::DefaultDocumentService) {
            QString note;
            documentLocation = local.locationFor(documentLocation, command.verbose, &note);
            if (local.available())
                tell(note);
            else
                dialogs.warn(note);
        }
        documents.setServiceUrl(documentLocation);
        documents.setProxy(settings.proxyText());
        documents.setTimeout(settings.TimeOut);
    }
    DocumentProgressLine progressLine(err, ::isatty(STDERR_FILENO) == 1);
    const auto tellDone = [&](const QString& text) {
        // The end of each document is said on a terminal, or with -v.
        if (status || ::isatty(STDERR_FILENO) == 1) {
            err.write((text + QLatin1Char('\n')).toUtf8());
            err.flush();
        }
    };
    int documentsFailed = 0;

    StreamTranslateView view(textOut, status, LanguageCodeToName(request.SrcLangCode),
                             LanguageCodeToName(request.DstLangCode));
    TranslateCommand translate(view, dialogs);
    const bool detect = command.from == QLatin1String("auto");
    for (const Input& input : inputs) {
        if (input.document) {
            if (!translateDocument(documents, input, request.SrcLangCode, request.DstLangCode,
                                   command.output, dialogs, progressLine, tellDone))
                ++documentsFailed;
            continue;
        }
        view.setSource(input.text);
        if (detect) {
            const QList<LanguageDetector::Guess> guesses = LanguageDetector::detect(input.text);
            if (guesses.isEmpty()) {
                dialogs.error(QStringLiteral("cannot detect the language of %1; name it with -f")
                                  .arg(inputName(input)));
                return 1;
            }
            const LanguageDetector::Guess& best = guesses.front();
            tell(QStringLiteral("Detected language of %1: %2 (%3), confidence %4")
                     .arg(inputName(input), LanguageCodeToName(best.code), best.code)
                     .arg(best.confidence));
            request.SrcLangCode = best.code;
            view.setSourceName(LanguageCodeToName(best.code));
            if (best.code == request.DstLangCode) {
                // Already in the language asked for: written as it is.
                view.appendPiece(input.text);
                view.endInput();
                continue;
            }
        }
        try {
            ServerLegRunner runner(server, rio);
            translate.run(request, runner);
        } catch (const SilentAbort&) {
            // What stopped it has been said already.
        } catch (const TarquellError& e) {
            dialogs.error(errorBoxText(e.message()));
        } catch (const std::exception& e) {
            dialogs.error(errorBoxText(QString::fromUtf8(e.what())));
        }
        view.endInput();
        if (!engines.isEmpty())
            tell(QStringLiteral("Translated by %1.").arg(engines.join(QStringLiteral("; "))));
        engines.clear();
        if (dialogs.failed())
            return 1;
    }
    return documentsFailed > 0 ? 1 : 0;
}
