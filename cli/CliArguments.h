#pragma once

#include "FtpUrl.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One command of a krellin-cli run, its arity already checked.
struct CliCommand {
    QString name; // ls, pwd, cd, up, get, put, mget, mput, mkdir, rmdir, rm, mv
    QStringList args;
    bool resume = false;    // get/put --resume
    bool json = false;      // ls --json
    bool recursive = false; // get/put -r: a whole folder, through the queue
};

struct CliOptions {
    FtpUrl url;
    QList<CliCommand> commands;
    bool active = false;
    bool ascii = false;
    bool verbose = false;
    bool progress = false;
    bool json = false;
    int timeoutSeconds = 60;
    // The queue's transfers (get -r, put -r, mget, mput): connections at
    // once, checksums, and what to do with a target that exists
    // (Conflict::Policy; -1: fail the item and say which option to give).
    int parallel = 2;
    bool verify = true;
    int conflictPolicy = -1;
    // --tls: an ftp:// URL requires explicit TLS (as ftpes:// does).
    bool tls = false;
    // --fingerprint: the SHA-256 of the only certificate accepted.
    QByteArray fingerprint;
    // --insecure: a certificate that cannot be verified is accepted.
    bool insecure = false;
    // -q: no progress meter, even on a terminal.
    bool quiet = false;
    // -o FILE: where the one download goes; "-" is standard output.
    QString output;
    // --netrc-file FILE instead of ~/.netrc.
    QString netrcFile;
    // --password-env NAME: the password is that variable's value.
    QString passwordEnv;
    // No command was given: list the URL's directory, or fetch the file it
    // names when the server refuses to change into it.
    bool noCommand = false;
    // The URL ends with "/": it names a directory, never a file.
    bool urlNamesDirectory = false;
    // What main knows of its streams; the in-process tests leave both false,
    // so they are never asked for a password nor shown a progress meter.
    bool errIsTerminal = false;
    bool inIsTerminal = false;
};

// The outcome of reading the command line: help, a usage error, or options to run.
struct CliParseResult {
    bool help = false;
    bool version = false;
    QString error; // non-empty: a usage error
    CliOptions options;
};

namespace CliArguments {

// Reads the arguments after the program name.
CliParseResult parse(const QStringList& arguments);

// Splits a -c text into words as a POSIX shell would: blanks separate,
// single quotes keep everything, double quotes keep everything but \" \\ \$ \`,
// a backslash outside quotes takes the next character as is. Empty with
// *error set on an unterminated quote or a trailing backslash.
std::optional<QStringList> splitWords(const QString& text, QString* error);

// Checks a command's name and arity and takes out its flags.
std::optional<CliCommand> makeCommand(QStringList words, QString* error);

// The local name a download takes when none is given: the last path component
// of the remote name, as LocalName allows it. Empty with *error set otherwise:
// a server's name never chooses a place outside the user's directory.
std::optional<QString> localNameFor(const QString& remote, QString* error);

// The remote name an upload takes when none is given: the local file's name.
QString remoteNameFor(const QString& local);

QString usage();
// "krellin-cli VERSION".
QString version();
// The first line of the usage and where to find the rest.
QString shortUsage();

} // namespace CliArguments
