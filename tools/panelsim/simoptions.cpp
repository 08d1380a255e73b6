#include "simoptions.h"

#include "frametext.h"

#include <QCommandLineParser>

namespace {

bool readCount(const QCommandLineParser &parser, const QString &name, int min, int *out, QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < min) {
        *error = QStringLiteral("--%1 needs a whole number of at least %2").arg(name).arg(min);
        return false;
    }
    *out = value;
    return true;
}

} // namespace

bool parseSimOptions(QCommandLineParser &parser, const QStringList &arguments, SimOptions *options,
                     QString *error)
{
    parser.setApplicationDescription(QStringLiteral(
        "Plays a KV-4810G panel on a pseudo-terminal. The first line on standard output is the "
        "device the programming tool should open."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("link"), QStringLiteral("Also make a symbolic link <path> to the device."), QStringLiteral("path")},
        {QStringLiteral("state"), QStringLiteral("Load the panel's state from the JSON <file> (created when missing) and write every change back to it."), QStringLiteral("file")},
        {QStringLiteral("password"), QStringLiteral("The panel's access password (default 1234)."), QStringLiteral("chars"), QStringLiteral("1234")},
        {QStringLiteral("gap"), QStringLiteral("Quiet time that ends a frame of varying length (default 30)."), QStringLiteral("ms"), QStringLiteral("30")},
        {QStringLiteral("reply-gap"), QStringLiteral("Pause between two replies (default 20)."), QStringLiteral("ms"), QStringLiteral("20")},
        {QStringLiteral("no-pacing"), QStringLiteral("Write replies at once instead of at 9600 baud.")},
        {QStringLiteral("silent"), QStringLiteral("Never answer the detection frame.")},
        {QStringLiteral("detect-delay"), QStringLiteral("Answer the detection frame <ms> late."), QStringLiteral("ms")},
        {QStringLiteral("split"), QStringLiteral("Write every reply in random pieces.")},
        {QStringLiteral("coalesce"), QStringLiteral("Write two consecutive replies in one write.")},
        {QStringLiteral("twice"), QStringLiteral("Write every reply twice.")},
        {QStringLiteral("stray"), QStringLiteral("Put the bytes <hex> in front of every reply, e.g. 3132."), QStringLiteral("hex")},
        {QStringLiteral("refuse"), QStringLiteral("Answer every settings frame FF5000 and store nothing.")},
        {QStringLiteral("refuse-command"), QStringLiteral("Answer FF5000 to the frames of command byte <hex> alone (0C: the last settings frame and zone 1's message) and store them not."), QStringLiteral("hex")},
        {QStringLiteral("hangup-after"), QStringLiteral("Close the line once <n> frames have been received and answered."), QStringLiteral("n")},
        {QStringLiteral("trace"), QStringLiteral("Print every frame received and every write, in hex, to standard error.")},
    });
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return false;
    }
    SimOptions o;
    o.linkPath = parser.value(QStringLiteral("link"));
    o.statePath = parser.value(QStringLiteral("state"));
    o.accessPassword = parser.value(QStringLiteral("password")).toLatin1();
    o.pacing.paced = !parser.isSet(QStringLiteral("no-pacing"));
    o.shape.split = parser.isSet(QStringLiteral("split"));
    o.shape.coalesce = parser.isSet(QStringLiteral("coalesce"));
    o.shape.twice = parser.isSet(QStringLiteral("twice"));
    o.silent = parser.isSet(QStringLiteral("silent"));
    o.refuse = parser.isSet(QStringLiteral("refuse"));
    o.trace = parser.isSet(QStringLiteral("trace"));
    if (!readCount(parser, QStringLiteral("gap"), 1, &o.gapMs, error)
        || !readCount(parser, QStringLiteral("reply-gap"), 0, &o.pacing.replyGapMs, error)
        || !readCount(parser, QStringLiteral("detect-delay"), 0, &o.detectDelayMs, error)
        || !readCount(parser, QStringLiteral("hangup-after"), 1, &o.hangupAfter, error))
        return false;
    if (parser.isSet(QStringLiteral("refuse-command"))) {
        bool hex = false;
        o.refuseCommand = parser.value(QStringLiteral("refuse-command")).toInt(&hex, 16);
        if (!hex || o.refuseCommand < 0 || o.refuseCommand > 0xFF) {
            *error = QStringLiteral("--refuse-command needs one byte in hex, e.g. 0C");
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("stray"))
        && (!FrameText::toBytes(parser.value(QStringLiteral("stray")), &o.shape.stray, error)
            || o.shape.stray.isEmpty())) {
        *error = QStringLiteral("--stray needs bytes in hex, e.g. 3132");
        return false;
    }
    *options = o;
    return true;
}
