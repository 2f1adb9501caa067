// tarquell-translate: the Translate command in a terminal.
#include "cli/CommandLine.h"
#include "cli/LanguageList.h"
#include "cli/LocalService.h"
#include "cli/StreamTranslateView.h"
#include "server/LanguageDetector.h"

#include "platform/CommandGuard.h"
#include "platform/ConfigPaths.h"
#include "platform/Errors.h"
#include "platform/ProfileFile.h"
#include "service/THTTPRIO.h"
#include "translate/Languages.h"
#include "translate/MainSettings.h"
#include "translate/ServerComponents.h"
#include "translate/ServerLegRunner.h"
#include "translate/TextServers.h"
#include "translate/TranslateCommand.h"

#include <QCoreApplication>
#include <QFile>

namespace {
struct Input
{
    QString name;
    QString text;
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
    if (location == ServiceLocations::Defaults[server.number - 1]) {
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

    StreamTranslateView view(out, status, LanguageCodeToName(request.SrcLangCode),
                             LanguageCodeToName(request.DstLangCode));
    TranslateCommand translate(view, dialogs);
    const bool detect = command.from == QLatin1String("auto");
    for (const Input& input : inputs) {
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
    return 0;
}
