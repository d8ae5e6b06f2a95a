#pragma once

#include <QString>
#include <optional>

// The engine's code tables: FTP reply codes and socket/runtime fault numbers
// onto the engine's last-error codes, and the texts of the engine's own codes.
namespace FtpErrors {

struct ReplyError {
    // -1: the reply is a success or intermediate one that records nothing.
    qint32 code = -1;
    // Null: the reply leaves the stored description as it was.
    const char* description = nullptr;
};

// Empty for a reply code the table does not know.
std::optional<ReplyError> replyError(qint32 replyCode);

// Empty for a fault number the table does not know.
std::optional<qint32> runtimeErrorCode(qint32 faultNumber);

// Fixed text of the engine's own codes 58 to 61; empty for any other code.
QString ownErrorText(qint32 code);

} // namespace FtpErrors
