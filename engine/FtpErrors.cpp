#include "FtpErrors.h"

#include <QCoreApplication>
#include <QHash>

namespace FtpErrors {

std::optional<ReplyError> replyError(qint32 replyCode) {
    // The descriptions are marked for the window's translation, which looks
    // them up by their text; the engine itself speaks English.
    static const QHash<qint32, ReplyError> table = {
        {110, {}},
        {120, {}},
        {125, {}},
        {150, {}},
        {200, {}},
        {202, {}},
        {211, {}},
        {212, {}},
        {213, {}},
        {214, {}},
        {215, {}},
        {220, {}},
        {221, {}},
        {225, {}},
        {226, {}},
        {227, {}},
        {230, {}},
        {250, {}},
        {257, {}},
        {331, {38, nullptr}},
        {332, {39, nullptr}},
        {350, {40, nullptr}},
        {421,
         {41,
          QT_TRANSLATE_NOOP("FtpErrors", "Service not available, closing control connection.")}},
        {425, {42, QT_TRANSLATE_NOOP("FtpErrors", "Can't open data connection.")}},
        {426, {43, QT_TRANSLATE_NOOP("FtpErrors", "Connection closed; transfer aborted.")}},
        {450, {44, QT_TRANSLATE_NOOP("FtpErrors", "Requested file action not taken.")}},
        {451,
         {45,
          QT_TRANSLATE_NOOP("FtpErrors", "Requested action aborted: local error in processing.")}},
        {452,
         {46,
          QT_TRANSLATE_NOOP("FtpErrors",
                            "Requested action not taken. Insufficient storage space in system.")}},
        {500, {47, QT_TRANSLATE_NOOP("FtpErrors", "Syntax error, command unrecognized.")}},
        {501, {48, QT_TRANSLATE_NOOP("FtpErrors", "Syntax error in parameters or arguments.")}},
        {502, {49, QT_TRANSLATE_NOOP("FtpErrors", "Command not implemented.")}},
        {503, {50, QT_TRANSLATE_NOOP("FtpErrors", "Bad sequence of commands.")}},
        {504, {51, QT_TRANSLATE_NOOP("FtpErrors", "Command not implemented for that parameter.")}},
        {530, {52, QT_TRANSLATE_NOOP("FtpErrors", "Not logged in.")}},
        {532, {53, QT_TRANSLATE_NOOP("FtpErrors", "Need account for storing files.")}},
        {550,
         {54, QT_TRANSLATE_NOOP("FtpErrors", "Requested action not taken. File unavailable (e.g., "
                                             "file not found, no access).")}},
        {551, {55, QT_TRANSLATE_NOOP("FtpErrors", "Requested action aborted: page type unknown.")}},
        {552,
         {56, QT_TRANSLATE_NOOP("FtpErrors", "Requested file action aborted. Exceeded storage "
                                             "allocation (for current directory or dataset).")}},
        {553,
         {57,
          QT_TRANSLATE_NOOP("FtpErrors", "Requested action not taken. File name not allowed.")}},
    };
    const auto it = table.constFind(replyCode);
    if (it == table.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<qint32> runtimeErrorCode(qint32 faultNumber) {
    // Codes 0 to 36 follow the alphabetical order of the socket service's
    // error constant names.
    static const QHash<qint32, qint32> table = {
        {10048, 0},  {10049, 1},  {10037, 2},  {10056, 3},  {40006, 4},  {10053, 5},  {10061, 6},
        {10054, 7},  {394, 8},    {11001, 9},  {11002, 10}, {10036, 11}, {40014, 12}, {10014, 13},
        {40020, 14}, {380, 15},   {10040, 16}, {10052, 17}, {10050, 18}, {10051, 19}, {10055, 20},
        {11004, 21}, {11003, 22}, {10057, 23}, {10093, 24}, {10038, 25}, {10004, 26}, {7, 27},
        {40021, 28}, {10043, 29}, {383, 30},   {10058, 31}, {40017, 32}, {10060, 33}, {40018, 34},
        {10035, 35}, {40026, 36},
    };
    const auto it = table.constFind(faultNumber);
    if (it == table.constEnd())
        return std::nullopt;
    return *it;
}

QString ownErrorText(qint32 code) {
    switch (code) {
    // Marked for the window's translation, which looks them up by their text.
    case 58:
        return QStringLiteral(QT_TRANSLATE_NOOP(
            "FtpErrors", "A time-out occurred while communicating with the server."));
    case 59:
        return QStringLiteral(
            QT_TRANSLATE_NOOP("FtpErrors", "Cannot execute the command. Transfer in progress."));
    case 60:
        return QStringLiteral(QT_TRANSLATE_NOOP(
            "FtpErrors",
            "Application is busy. Wait until the current operation will be completed."));
    case 61:
        return QStringLiteral(
            QT_TRANSLATE_NOOP("FtpErrors", "The operation was canceled by user."));
    default:
        return {};
    }
}

} // namespace FtpErrors
