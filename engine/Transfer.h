#pragma once

#include "ListingStream.h"
#include "LocalFile.h"

#include <QByteArray>
#include <QString>
#include <memory>

// The one data transfer of a session (a listing, a download or an upload):
// what it moves, where it stands, and how its data connection ended. The
// engine's data-socket handlers and its transfer steps read and move this
// one state; nothing else says whether a transfer runs.
struct Transfer {
    enum class Kind { None, Listing, Download, Upload };
    enum class State {
        // The data connection is being set up (PORT/PASV, TYPE, REST).
        Preparing,
        // The transfer command went out; the server has not confirmed it. A
        // download's local file is not cut back before it is.
        Requested,
        // The server confirmed (a 1xx, or data came): a download writes, an
        // upload starts once its data connection is up.
        Confirmed,
        // Upload: blocks are being handed to the data connection.
        Sending,
        // Upload: every byte was handed over and the data connection closed
        // by us: that close tells the server the file is complete.
        Sent,
        // Nothing more can be stored or read locally (a full disk, a file
        // that shrank, a listing too long): the flow is stopped, the server's
        // final reply is still taken, and the step reports this fault.
        Faulted,
    };
    // How the data connection ended: still open, closed by the peer in
    // order, or failed (reset) with the socket's number.
    enum class DataEnd { Open, Closed, Failed };

    Kind kind = Kind::None;
    State state = State::Preparing;
    DataEnd dataEnd = DataEnd::Open;
    qint32 dataError = 0;
    QString dataErrorText;
    qint32 faultNumber = 0;
    QString faultText;

    // Download and upload: the local file and the byte counts (from the
    // start point for a resume).
    QString localName;
    std::unique_ptr<platform::LocalFile> file;
    qint64 startPoint = 0;
    qint64 bytes = 0;
    // Download: the file did not exist before, and the size a 150 reply
    // announced ("(N bytes)"), -1 when none.
    bool created = false;
    qint64 announced = -1;
    // Upload: the file's length, taken once, and how far the blocks handed
    // over reach.
    qint64 length = 0;
    qint64 queued = 0;
    // Download and upload: the bytes move inside the system (splice,
    // sendfile) instead of through the engine's buffers.
    bool zeroCopy = false;
    // Upload: the socket refused a block because the connection is gone;
    // its close or error event, on the way, tells the end. Nothing more
    // is sent.
    bool sendFailed = false;

    // Listing: the bytes, or (read as they arrive) the stream and its sink.
    QByteArray listingText;
    qint64 listingBytes = 0;
    std::unique_ptr<ListingStream> listingStream;
    ListingStream::Sink listingSink;

    bool running() const { return kind != Kind::None; }
    // The command went out (its final reply may still be owed).
    bool requested() const { return running() && state != State::Preparing; }
    bool faulted() const { return state == State::Faulted; }
    // Records the first fault; the later ones follow from it.
    void fault(qint32 number, const QString& text) {
        if (state == State::Faulted)
            return;
        state = State::Faulted;
        faultNumber = number;
        faultText = text;
    }
    void closeLocalFile() {
        if (!file)
            return;
        try {
            file->close();
        } catch (const platform::Fault&) {
        }
        file.reset();
    }
};
