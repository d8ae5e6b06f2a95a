// The reply reader alone: any bytes, cut at points the input chooses, must
// frame the same replies as the bytes fed whole, stay within its limits and
// never let a reply out that breaks RFC 959's framing.

#include "ReplyReader.h"

#include <cstdint>
#include <cstdlib>

namespace {

struct Result {
    QList<FtpReply> replies;
    qsizetype lines = 0;
    ReplyReader::Status status = ReplyReader::Status::Ok;
};

Result feed(QByteArrayView bytes, QByteArrayView cuts) {
    ReplyReader reader;
    ReplyReader::Output out;
    qsizetype at = 0;
    for (char cut : cuts) {
        if (at >= bytes.size())
            break;
        const qsizetype n = std::min<qsizetype>(1 + quint8(cut) % 16, bytes.size() - at);
        reader.feed(bytes.sliced(at, n), out);
        at += n;
    }
    if (at < bytes.size())
        reader.feed(bytes.sliced(at), out);
    Result result;
    result.status = reader.finish(out);
    result.replies = out.replies;
    result.lines = out.lines.size();
    return result;
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes choose the cuts, the rest is the stream.
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cutCount = input.isEmpty() ? 0 : quint8(input[0]) % 32;
    const QByteArrayView cuts =
        input.sliced(std::min<qsizetype>(1, input.size()))
            .first(std::min<qsizetype>(cutCount, input.size() > 0 ? input.size() - 1 : 0));
    const QByteArrayView stream = input.sliced(std::min<qsizetype>(1 + cuts.size(), input.size()));

    const Result whole = feed(stream, {});
    const Result cut = feed(stream, cuts);
    check(whole.status == cut.status);
    check(whole.lines == cut.lines);
    check(whole.replies.size() == cut.replies.size());
    for (qsizetype i = 0; i < whole.replies.size(); ++i) {
        const FtpReply& reply = whole.replies[i];
        check(reply.lines == cut.replies[i].lines);
        check(reply.code == cut.replies[i].code && reply.hasCode == cut.replies[i].hasCode);
        check(!reply.lines.isEmpty() && reply.lines.size() <= ReplyReader::MaxReplyLines);
        // A multi-line reply ends with its own code and a blank (or nothing).
        if (reply.lines.size() > 1) {
            const QString& last = reply.lines.constLast();
            check(last.left(3) == reply.lines.constFirst().left(3));
            check(last.size() == 3 || last[3] == u' ');
        }
        for (const QString& line : reply.lines)
            check(!line.contains(u'\n'));
    }
    return 0;
}
