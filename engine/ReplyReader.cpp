#include "ReplyReader.h"

namespace {

// The three-digit code a line starts with, or -1.
int leadingCode(QByteArrayView line) {
    if (line.size() < 3)
        return -1;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = line[i];
        if (c < '0' || c > '9')
            return -1;
        code = code * 10 + (c - '0');
    }
    return code;
}

// "NNN text" or a bare "NNN": the line that ends a reply with that code.
bool isFinalLine(QByteArrayView line, int code) {
    return leadingCode(line) == code && (line.size() == 3 || line[3] == ' ');
}

} // namespace

QString FtpReply::text() const {
    return lines.join(QStringLiteral("\r\n"));
}

QString FtpReply::message() const {
    QString text;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QString& line = lines[i];
        const bool prefixed =
            line.size() >= 4 && line[3] == u'-' && line.left(3) == lines[0].left(3);
        if (!text.isEmpty())
            text += QStringLiteral("\r\n");
        text += prefixed ? line.mid(4) : line;
    }
    return text;
}

ReplyReader::Status ReplyReader::feed(QByteArrayView bytes, Output& out) {
    while (m_Status == Status::Ok && !bytes.isEmpty()) {
        const qsizetype lf = bytes.indexOf('\n');
        const QByteArrayView piece = lf < 0 ? bytes : bytes.first(lf);
        if (m_Partial.size() + piece.size() > MaxLineLength) {
            m_Status = Status::LineTooLong;
            m_Partial.clear();
            break;
        }
        if (lf < 0) {
            m_Partial.append(piece);
            break;
        }
        bytes = bytes.sliced(lf + 1);
        if (m_Partial.isEmpty()) {
            takeLine(piece, out);
        } else {
            m_Partial.append(piece);
            takeLine(m_Partial, out);
            m_Partial.clear();
        }
    }
    return m_Status;
}

ReplyReader::Status ReplyReader::finish(Output& out) {
    if (m_Status == Status::Ok && !m_Partial.isEmpty()) {
        takeLine(m_Partial, out);
        m_Partial.clear();
    }
    return m_Status;
}

void ReplyReader::reset() {
    m_Partial.clear();
    m_Current = {};
    m_InReply = false;
    m_ReplyLength = 0;
    m_Status = Status::Ok;
}

void ReplyReader::takeLine(QByteArrayView raw, Output& out) {
    if (raw.endsWith('\r'))
        raw.chop(1);
    const QString text = QString::fromUtf8(raw);

    if (m_InReply) {
        m_ReplyLength += raw.size() + 2;
        if (m_Current.lines.size() >= MaxReplyLines || m_ReplyLength > MaxReplyLength) {
            m_Status = Status::ReplyTooLong;
            m_Current = {};
            m_InReply = false;
            return;
        }
        m_Current.lines.append(text);
        out.lines.append({text, m_Current.code});
        if (isFinalLine(raw, m_Current.code)) {
            out.replies.append(std::move(m_Current));
            m_Current = {};
            m_InReply = false;
        }
        return;
    }

    // "220x" is no reply line: only a blank, a dash or the line end may follow the code.
    int code = leadingCode(raw);
    if (code >= 0 && raw.size() > 3 && raw[3] != ' ' && raw[3] != '-')
        code = -1;
    FtpReply reply;
    reply.lines.append(text);
    if (code >= 0) {
        reply.code = qint16(code);
        reply.hasCode = true;
    }
    out.lines.append({text, reply.code});
    if (code >= 0 && raw.size() >= 4 && raw[3] == '-') {
        m_Current = std::move(reply);
        m_InReply = true;
        m_ReplyLength = raw.size() + 2;
        return;
    }
    out.replies.append(std::move(reply));
}
