#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// One complete reply of the server: its code and its lines as received
// (decoded, without line ends).
struct FtpReply {
    // 0 for a line that carries no code at all.
    qint16 code = 0;
    // False for a line without a leading three-digit code ("hello", "2xx ...").
    bool hasCode = false;
    QStringList lines;

    // The lines joined by "\r\n".
    QString text() const;
    // The message of a multi-line reply: every line but the last, without the
    // "NNN-" in front of the lines that carry it. Empty for a one-line reply.
    QString message() const;
    bool isPreliminary() const { return hasCode && code >= 100 && code < 200; }
    bool isPositive() const { return hasCode && code >= 200 && code < 300; }
};

// One received line, for the session log: its text and the code of the reply
// it belongs to (0 for a line without a code).
struct FtpReplyLine {
    QString text;
    qint16 code = 0;
};

// Frames the control connection's bytes into replies, as RFC 959 has it: a
// reply is one line "NNN text", or a first line "NNN-text", any lines, and a
// last line "NNN text" with the same code. Lines end with CRLF; a bare LF is
// taken as a line end too. A line without a code outside a multi-line reply
// is a reply of its own (code 0), so the step waiting for it can say what
// came.
//
// Pure and incremental: bytes in, complete lines and replies out, linear in
// the input, keeping only the reply being built. The limits keep a hostile
// server from growing it without end; once one is broken the reader stays
// broken and takes nothing more.
class ReplyReader {
public:
    static constexpr qsizetype MaxLineLength = 64 * 1024;
    static constexpr qsizetype MaxReplyLength = 1024 * 1024;
    static constexpr qsizetype MaxReplyLines = 10000;

    enum class Status { Ok, LineTooLong, ReplyTooLong };

    struct Output {
        QList<FtpReplyLine> lines;
        QList<FtpReply> replies;
    };

    // Appends the lines and replies the bytes complete to out.
    Status feed(QByteArrayView bytes, Output& out);
    // The stream has ended: an unterminated last line still counts (a server
    // that closes right after "221 Bye" without a line end).
    Status finish(Output& out);
    void reset();

    Status status() const { return m_Status; }
    // A multi-line reply or a line has begun and not ended.
    bool midReply() const { return m_InReply || !m_Partial.isEmpty(); }

private:
    void takeLine(QByteArrayView raw, Output& out);

    QByteArray m_Partial;
    FtpReply m_Current;
    bool m_InReply = false;
    qsizetype m_ReplyLength = 0;
    Status m_Status = Status::Ok;
};
