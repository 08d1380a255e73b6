#pragma once

#include <QApplication>
#include <QCursor>

// The wait cursor while a call that may wait on the record server runs;
// message boxes come after it, with the usual cursor.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// The value of a store call made under the wait cursor.
template <class Call>
auto underBusyCursor(Call call)
{
    BusyCursor busy;
    return call();
}
