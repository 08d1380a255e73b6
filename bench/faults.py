#!/usr/bin/env python3
"""Deliberate faults: each one breaks a line of the product on purpose,
rebuilds the suites that guard it and runs them; a fault that no suite
notices points at a missing test, a suite that never catches one at a test
that restates the code. Restores every file afterwards.

    bench/faults.py [build-folder [suite ...]]

With suites named, only the faults those suites should notice are tried.
"""
import collections, os, subprocess, sys

root = os.path.abspath(os.path.join(os.path.dirname(__file__), '..'))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'build'))
only = set(sys.argv[2:])

# (suites that should notice, file, text, broken text, what breaks)
FAULTS = [
    ('tst_link', 'src/link/receiveassembler.cpp', 'int from = qMax(0, m_scanned - 1);',
     'int from = m_scanned;', 'a terminator split over two reads is missed'),
    ('tst_link', 'src/link/receiveassembler.cpp', 'm_pending.remove(0, m_pending.size() - MaxPendingBytes);',
     ';', 'unterminated bytes are kept without limit'),
    ('tst_link', 'src/link/seriallink.cpp', 'm_port.setReadBufferSize(ReadBufferBytes);', ';',
     'the line is read ahead without limit while a consumer waits'),
    ('tst_link', 'src/link/seriallink.cpp', '    m_port.clearError();\n    dropReceived();\n}',
     '    m_port.clearError();\n}', 'a closed port still delivers its replies'),
    ('tst_link', 'src/link/seriallink.cpp', 'return m_deviceKnown ? m_device : PortCatalog::deviceForPort(m_portNumber);',
     'return PortCatalog::deviceForPort(m_portNumber);', 'the opened device is looked up again'),
    ('tst_link', 'src/link/frametext.cpp', "if (u >= 'a' && u <= 'f')", "if (u >= 'a' && u <= 'e')",
     'a lower-case f in a frame text is refused'),
    ('tst_frames', 'src/transfer/replymatch.cpp', 'start < reply.size(); start += 2',
     'start < qMin(1, reply.size()); start += 2', 'a reply behind noise is not recognised'),
    ('tst_session', 'src/session/panelsession.cpp', 'PanelFound = 1;', 'PanelFound = 0;',
     'the detection answer is not recorded'),
    ('tst_settings', 'src/settings/fieldcodecs.cpp', "(terminated ? 2 : 1)", "(terminated ? 1 : 1)",
     'a zone text keeps the carriage return of its terminator'),
    ('tst_frames', 'src/settings/panelsettings.cpp', 'return code > 0 ? atPosition(items, code - 1) : ListField{};',
     'return code > 0 ? atPosition(items, code - 2) : ListField{};', 'a panel code selects the item before its own'),
    ('tst_frames', 'src/transfer/settingstransfer.cpp', "return c >= QLatin1Char('0') && c <= QLatin1Char('9');",
     "return c >= QLatin1Char('1') && c <= QLatin1Char('9');", 'a zero in a number is refused'),
    ('tst_session', 'src/session/panelsession.cpp', '    if (m_download.isRunning())\n        inform(',
     '    if (false)\n        inform(', 'a click during a download puts its frame between the download\'s'),
    ('tst_session', 'src/session/panelsession.cpp', '    ZoneTextMode = 1;', ';',
     'the zone text goes to the reply dispatch'),
    ('tst_session', 'src/session/panelsession.cpp', 'return endUpload(QStringLiteral("the serial port went away"));',
     'return;', 'a lost line leaves an upload without a word'),
    ('tst_session', 'src/session/panelsession.cpp', '    if (m_comparison.isGathering())\n        m_comparison.take',
     '    if (false)\n        m_comparison.take', 'a comparison\'s replies are written into the window'),
    ('tst_startup', 'src/link/panelframes.h', 'inline constexpr char Detect[] = "FF0018";',
     'inline constexpr char Detect[] = "FF0019";', 'a wrong detection frame'),
    ('tst_startup', 'src/link/panelsearch.cpp', 'if (m_link.isOpen() && m_answered)',
     'if (m_answered)', 'a port lost during the detection wait counts as found'),
    ('tst_startup', 'src/session/panelsession.cpp', 'if (!m_link.isOpen() && m_link.reopen(&error))',
     'if (false)', 'OK does not reopen the panel\'s device'),
    ('tst_startup', 'src/app/frmpassword.cpp', 'if (m_lastSent.isValid() &&', 'if (false &&',
     'a double-click sends the password twice'),
    ('tst_startup', 'src/app/messages.cpp', 'if (parent && parent->isVisible())', 'if (parent)',
     'a box is placed against the hidden main window'),
    ('tst_records', 'src/app/settingsform.cpp', 'lineFaultBoxes(ui)[i]->setChecked(s.CkTel[i]);',
     'lineFaultBoxes(ui)[i]->setChecked(s.CkShangBao[i]);', 'the line-fault boxes show the report flags'),
    ('tst_startup', 'src/settings/panelsettings.cpp', 's.TxtMiMa = QStringLiteral("5793");',
     's.TxtMiMa = QStringLiteral("5739");', 'a wrong start value'),
    ('tst_records', 'src/records/sqliterecordstore.cpp', '"SELECT %1 FROM tb4810 WHERE %2 = ? COLLATE NOCASE "',
     '"SELECT %1 FROM tb4810 WHERE %2 = ? "', 'a record is found only in its own letter case'),
    ('tst_records', 'src/records/sqliterecordstore.cpp', 'QStringLiteral("BEGIN IMMEDIATE")', 'QStringLiteral("BEGIN")',
     'two copies saving at once can fail'),
    ('tst_window', 'src/settings/settingscomparison.cpp', 'w.TxtTian.toUpper() == p.TxtTian.toUpper());',
     'true);', 'a different interval is taken as equal'),
    ('tst_link', 'src/link/protocoltrace.cpp', 'return prefix + QStringLiteral("****");', 'return upper;',
     'the password shows in the trace'),
    ('tst_panelsim', 'tools/panelsim/panelcommands.h', 'inline constexpr int ReceivingNumberFrameBytes = 20;',
     'inline constexpr int ReceivingNumberFrameBytes = 19;', 'the panel cuts number frames wrongly'),
    ('tst_panelsim', 'tools/panelsim/panelcommands.h', 'inline constexpr int LastZoneMessage = 0x0E;',
     'inline constexpr int LastZoneMessage = 0x0D;', 'the panel ignores zone 3\'s message'),
    ('tst_panelsim', 'tools/panelsim/replyplan.cpp', 'if (shape.coalesce && i + 1 < replies.size())', 'if (false)',
     'the panel never writes two replies at once'),
    ('tst_records', 'src/records/recordrow.cpp', 'std::nearbyint(NumericValue(stored.toString())) != 0.0;',
     'NumericValue(stored.toString()) != 0.0;', 'another tool\'s 0.5 ticks a box'),
    ('tst_records', 'src/records/recordstatements.cpp', 'if (!query.value(0).isNull())\n            read.numbers',
     'if (true)\n            read.numbers', 'a row without a number lists an empty one'),
    ('tst_records', 'src/app/frmmain_records.cpp',
     'if (!Messages::ask(this, QStringLiteral("this No. is existed, replace it?"), QStringLiteral("inquire")))\n            return;',
     'Messages::ask(this, QStringLiteral("this No. is existed, replace it?"), QStringLiteral("inquire"));',
     'No to the replace question replaces all the same'),
    ('tst_settings', 'src/settings/settingscomparison.cpp', 'if (!m_panel.received[group]) {', 'if (false) {',
     'a reply that did not come counts as received'),
    ('tst_window', 'src/app/frmmain_transfer.cpp', 'writeSettingsGroup(*ui, values, group);', ';',
     'an upload\'s replies never reach the window'),
    ('tst_window', 'src/app/tracewindow.cpp', 'connect(clear, &QPushButton::clicked, &trace, &ProtocolTrace::clear);',
     ';', 'Clear leaves the trace as it was'),
]


def sh(*args, **kw):
    return subprocess.run(list(args), capture_output=True, text=True, **kw)


def suites_built():
    out = sh('ctest', '--test-dir', build, '-N').stdout
    # A suite split into parts runs as "suite.function".
    return {line.split(': ')[1].strip().split('.')[0] for line in out.splitlines() if ': tst_' in line}


available = suites_built()
caught = collections.Counter()
tried = collections.Counter()
missed = []
env = dict(os.environ, QT_QPA_PLATFORM='offscreen')
for suites, path, text, broken, what in FAULTS:
    suites = [name for name in suites.split() if name in available and (not only or name in only)]
    if not suites:
        continue
    full = os.path.join(root, path)
    original = open(full).read()
    if text not in original:
        print(f'?? {path}: the line to break is gone ({what})')
        continue
    failing = []
    try:
        open(full, 'w').write(original.replace(text, broken, 1))
        for suite in suites:
            built = sh('cmake', '--build', build, '-j2', '--target', suite).returncode == 0
            if not built or sh('ctest', '--test-dir', build, '-R', f'^{suite}(\\.|$)', env=env,
                               timeout=600).returncode != 0:
                failing.append(suite)
    finally:
        open(full, 'w').write(original)
    for suite in suites:
        tried[suite] += 1
        caught[suite] += suite in failing
    print(f'{"caught" if failing else "MISSED"}  {" ".join(failing or suites):40} {what}', flush=True)
    if not failing:
        missed.append((suites, what))
sh('cmake', '--build', build, '-j2')
print()
for suite in sorted(tried):
    print(f'{suite:22} caught {caught[suite]} of {tried[suite]}')
sys.exit(1 if missed else 0)
