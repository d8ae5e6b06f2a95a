#pragma once

#include "Keyring.h"

#include <QHash>

// A keyring for window tests: entries in memory, or, with `down` set, the
// answer of a desktop where no keyring runs.
struct MemoryKeyring : Keyring {
    QHash<QString, QString> entries;
    bool down = false;

    Result read(const QString& key) override {
        if (down)
            return unavailable();
        if (!entries.contains(key))
            return {Status::NotFound, {}, {}};
        return {Status::Ok, entries.value(key), {}};
    }
    Result write(const QString& key, const QString& password) override {
        if (down)
            return unavailable();
        entries.insert(key, password);
        return {Status::Ok, {}, {}};
    }
    Result remove(const QString& key) override {
        if (down)
            return unavailable();
        entries.remove(key);
        return {Status::Ok, {}, {}};
    }
    static Result unavailable() {
        return {Status::Unavailable, {}, QStringLiteral("no Secret Service on the bus")};
    }
};
