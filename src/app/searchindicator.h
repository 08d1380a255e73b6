#pragma once

#include <QWidget>

class QLabel;

// A small window that says which port the start-up search is trying, so
// the seconds before the password dialog are not silent. Not modal; it
// goes when the search ends.
class SearchIndicator : public QWidget
{
    Q_OBJECT
public:
    SearchIndicator();

    void showPort(int port, int lastPort);

private:
    QLabel *m_label;
};
