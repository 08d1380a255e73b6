#pragma once

#include <QObject>
#include <QTimer>

// Progress of a settings transfer: a value that Timer1 raises by one every
// 100 ms up to a maximum. A value above the maximum is refused, so a full
// bar stays full while the timer keeps ticking.
class TransferProgress : public QObject
{
    Q_OBJECT
public:
    static constexpr int TickMs = 100;
    static constexpr int DownloadMaximum = 18;
    static constexpr int UploadMaximum = 15;

    explicit TransferProgress(QObject *parent = nullptr);

    int value() const { return m_value; }
    int maximum() const { return m_maximum; }
    bool isRunning() const { return Timer1.isActive(); }

    // Value 1, then the maximum, then Timer1 started.
    void start(int maximum);
    void stop();
    // A value outside 0..maximum changes nothing.
    void setValue(int value);

signals:
    void changed(int value, int maximum);

private:
    void tick();

    QTimer Timer1;
    int m_value = 0;
    int m_maximum = 100;
};
