#pragma once

#include "historyentry.h"
#include "panelsettings.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// The stored records, one row per record number. Every call is one whole
// transaction, so another copy of the program sees each change as soon as
// the call returns. A call that fails changes nothing and says why in
// *error, a short sentence naming the store.
//
// Numbers and names match without regard to letter case for the letters
// A to Z only; every other character, blanks included, must match exactly
// (foldKey). The file and the server apply the same rule.
class RecordStore
{
public:
    // Which column a record is found by.
    enum class Key { Number = 0, Name = 1 };
    enum class SaveMode {
        AddOnly, // store only when no row has this number
        Replace, // replace the first row with this number, or add one
    };
    enum class Outcome { Added, Replaced, Exists, Removed, Found, NotFound, Failed };

    // The stored numbers and names, in the store's order; a row without a
    // number (or name) adds nothing to that list only.
    struct Keys
    {
        QStringList numbers;
        QStringList names;
    };

    virtual ~RecordStore() = default;

    // Where the records are, for messages.
    virtual QString location() const = 0;
    // The store in a few words, for the File menu: the file's name, or
    // "shared, host/dbname".
    virtual QString description() const = 0;
    // Stores the record under its number (settings.TxtAni): Added,
    // Replaced, Exists (AddOnly and the number is taken) or Failed.
    virtual Outcome save(const PanelSettings &settings, SaveMode mode, QString *error) = 0;
    // Removes the first row with this number: Removed, NotFound or Failed.
    virtual Outcome remove(const QString &number, QString *error) = 0;
    // The first row whose number (or name) equals the key, letter case
    // aside: Found (into *settings), NotFound or Failed.
    virtual Outcome find(Key by, const QString &key, PanelSettings *settings, QString *error) = 0;
    // Every stored number and name; false when the store failed.
    virtual bool listKeys(Keys *keys, QString *error) = 0;
    // Every row in the store's order, Null cells read as a loaded record
    // reads them; false when the store failed.
    virtual bool readAll(QList<PanelSettings> *rows, QString *error) = 0;
    // Adds the records in one transaction, none over a stored number: each
    // gets Added, Exists or Failed (its reason in *reasons, else empty).
    // Without keepGoing the first record not added ends the call and nothing
    // is written. False when nothing was written: a record was not added
    // (without keepGoing) or the store failed (*error says why).
    virtual bool addAll(const QList<PanelSettings> &records, bool keepGoing, QList<Outcome> *outcomes,
                        QStringList *reasons, QString *error) = 0;

    // Adds the history's entries in one transaction, each given its id;
    // false when none was written. The first entry makes the table.
    virtual bool addHistory(QList<HistoryEntry> *entries, QString *error) = 0;
    // The entries the query asks for, newest first; no table: none.
    virtual bool readHistory(const HistoryQuery &query, QList<HistoryEntry> *entries, QString *error) = 0;

    // Told with true when a call has waited a moment for the store, and
    // with false when that call ended. The file never keeps a call waiting
    // that long, so only the shared store tells.
    virtual void setWaitNotice(std::function<void(bool waiting)>) {}

    // The key under the letter-case rule: two keys match when these are equal.
    static QString foldKey(const QString &key);

    // Puts the sentence into *error (when asked for) and says the call failed.
    static bool report(QString *error, const QString &text)
    {
        if (error)
            *error = text;
        return false;
    }
    static Outcome failed(QString *error, const QString &text) { return report(error, text), Outcome::Failed; }
};

// The records file: KV4810G_RECORDS when set, else "4810G.mdb" in the
// user's data folder when the program runs installed, else "4810G.mdb"
// in the program's folder.
QString recordFilePath();
// The store the program uses: the shared store when KV4810G_RECORDS holds
// a postgresql:// address (any letter case, or postgres://), else the
// records file.
std::unique_ptr<RecordStore> openRecordStore();
// The store at a file path or a postgresql:// address.
std::unique_ptr<RecordStore> openRecordStore(const QString &where);
