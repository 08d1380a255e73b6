#include "recordsource.h"

#include "recordstore.h"

std::unique_ptr<RecordStore> openRecords(const QString &where)
{
    return where.isEmpty() ? openRecordStore() : openRecordStore(where);
}

bool findRecord(RecordStore &store, const QString &number, PanelSettings *settings, QString *error)
{
    switch (store.find(RecordStore::Key::Number, number, settings, error)) {
    case RecordStore::Outcome::Found:
        return true;
    case RecordStore::Outcome::NotFound:
        *error = QStringLiteral("No this No, please check! (record %1 in %2)").arg(number, store.location());
        return false;
    default:
        return false;
    }
}

bool saveRecord(const QString &where, const QString &number, PanelSettings settings, QString *error)
{
    settings.TxtAni = number;
    return openRecords(where)->save(settings, RecordStore::SaveMode::Replace, error) != RecordStore::Outcome::Failed;
}
