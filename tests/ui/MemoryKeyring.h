#pragma once

#include "Keyring.h"

#include <QHash>

// A keyring for window tests: entries in memory, or, with `down` set, the
// answer of a desktop where no keyring runs.
struct MemoryKeyring : Keyring {
    QHash<QString, QString> entries;
    bool down = false;

    Result read(const QString& key) override {
        if (down || !entries.contains(key))
            return answer(Status::NotFound);
        return {Status::Ok, entries.value(key), {}};
    }
    Result write(const QString& key, const QString& password) override {
        if (!down)
            entries.insert(key, password);
        return answer(Status::Ok);
    }
    Result remove(const QString& key) override {
        if (!down)
            entries.remove(key);
        return answer(Status::Ok);
    }
    Result answer(Status status) const {
        if (down)
            return {Status::Unavailable, {}, QStringLiteral("no Secret Service on the bus")};
        return {status, {}, {}};
    }
};
