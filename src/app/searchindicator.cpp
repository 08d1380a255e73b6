#include "searchindicator.h"

#include "messages.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

SearchIndicator::SearchIndicator()
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_label(new QLabel(this))
{
    setObjectName(QStringLiteral("searchIndicator"));
    setWindowTitle(QLatin1String(Messages::AppTitle));
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 16);
    layout->addWidget(m_label);
    m_label->setText(QStringLiteral("Searching for the panel: port 16 of 16"));
    setFixedSize(sizeHint());
}

void SearchIndicator::showPort(int port, int lastPort)
{
    m_label->setText(QStringLiteral("Searching for the panel: port %1 of %2").arg(port).arg(lastPort));
    if (!isVisible()) {
        if (QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        show();
    }
}
