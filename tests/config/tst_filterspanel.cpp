// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Filters tab's flows through its request signals: answers that switch a
// filter on or off, answers for another device, a refused Set and a Save that
// still stores, and pattern edits that reach the device with the bytes the
// editor does not own.

#include "filtercontrol.h"
#include "filterspanel.h"
#include "modalanswerer.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr uint64_t kHandle = 7;

StatsThreadInfo answer(uint64_t handle, uint32_t enabled)
{
    StatsThreadInfo info = makeRequest(handle);
    info.packetFilter = {enabled, LQ_FILTER_SRC_PORT, 0, {}, {}, {}, {}, 0, 80, 0, 0, 0, 0xc, {}};
    info.dpiFilter.enabled = enabled;
    info.dpiFilter.pattern[0] = 0x47;
    info.dpiFilter.pattern_mask = 0x1;
    info.dpiFilter.reserved[3] = 0x99;
    return info;
}

StatsThreadInfo last(const QSignalSpy &spy)
{
    return spy.last().first().value<StatsThreadInfo>();
}

template <typename T> T *child(const QObject &parent, const char *name)
{
    return parent.findChild<T *>(QLatin1String(name));
}

} // namespace

class tst_FiltersPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerStatsThreadInfo(); }

    void received_data()
    {
        QTest::addColumn<bool>("dpi");
        QTest::addColumn<int>("before"); // enabled of an earlier answer, -1 for none
        QTest::addColumn<uint64_t>("handle");
        QTest::addColumn<int>("enabled");
        QTest::addColumn<bool>("on");   // box checked, editor and Set enabled
        QTest::addColumn<int>("sends"); // set requests this answer causes
        for (bool dpi : {false, true}) {
            const char *kind = dpi ? "DPI" : "simple";
            QTest::addRow("%s switched on", kind) << dpi << -1 << kHandle << 1 << true << 1;
            QTest::addRow("%s stays off", kind) << dpi << -1 << kHandle << 0 << false << 0;
            QTest::addRow("%s stays on", kind) << dpi << 1 << kHandle << 1 << true << 0;
            QTest::addRow("%s switched off", kind) << dpi << 1 << kHandle << 0 << false << 1;
            QTest::addRow("%s other device", kind) << dpi << 1 << kHandle + 1 << 0 << true << 0;
        }
    }
    void received()
    {
        QFETCH(bool, dpi);
        QFETCH(int, before);
        QFETCH(uint64_t, handle);
        QFETCH(int, enabled);
        QFETCH(bool, on);
        QFETCH(int, sends);
        FiltersPanel panel;
        panel.setCurrentHandle(kHandle);
        QSignalSpy set(&panel, dpi ? &FiltersPanel::signal_set_dpifilter : &FiltersPanel::signal_set_simplefilter);
        auto receive = [&](uint64_t h, int e) {
            const StatsThreadInfo info = answer(h, uint32_t(e));
            dpi ? panel.slot_DPIFilterReceived(info) : panel.slot_simpleFilterReceived(info);
        };
        if (before >= 0)
            receive(kHandle, before);
        auto *text = child<QLineEdit>(panel, dpi ? "HexBox" : "srcPortTB");
        text->setText("edited");
        const auto earlier = set.count();

        receive(handle, enabled);
        QCOMPARE(child<QCheckBox>(panel, dpi ? "enableFiltersCheckBox" : "enableSimpleFiltersCB")->isChecked(), on);
        QCOMPARE(child<QWidget>(panel, dpi ? "filterCtrl" : "simpleFilterCtrl")->isEnabled(), on);
        QCOMPARE(child<QPushButton>(panel, dpi ? "setFiltersButton" : "setSimpleFiltersBT")->isEnabled(), on);
        QCOMPARE(set.count() - earlier, sends);
        QCOMPARE(text->text() == "edited", handle != kHandle); // shown only when it is this device's
        if (!sends)
            return;
        // The answer goes back as shown, switched as the device said.
        QVERIFY(child<QPushButton>(panel, dpi ? "saveFiltersButton" : "saveSimpleFiltersBT")->isEnabled());
        const StatsThreadInfo sent = last(set);
        QCOMPARE(sent.handle, kHandle);
        QCOMPARE(dpi ? sent.dpiFilter.enabled : sent.packetFilter.enabled, uint32_t(enabled));
        QCOMPARE(dpi ? sent.dpiFilter.pattern[0] : sent.packetFilter.src_port, dpi ? 0x47 : 80);
    }

    void refusedSetStillSaves()
    {
        FiltersPanel panel;
        panel.setCurrentHandle(kHandle);
        panel.slot_simpleFilterReceived(answer(kHandle, 1));
        QSignalSpy set(&panel, &FiltersPanel::signal_set_simplefilter);
        QSignalSpy save(&panel, &FiltersPanel::signal_save_simplefilter);
        ModalAnswerer answerer;
        child<QLineEdit>(panel, "srcPortTB")->setText("70000");

        QTest::mouseClick(child<QPushButton>(panel, "setSimpleFiltersBT"), Qt::LeftButton);
        QCOMPARE(answerer.titles, QStringList{"LumenQuill Manager"});
        QCOMPARE(answerer.texts, QStringList{"Invalid parameter.\nPlease correct the highlighted values."});
        QCOMPARE(answerer.icons.value(0), QMessageBox::Critical);
        auto *saveButton = child<QPushButton>(panel, "saveSimpleFiltersBT");
        QVERIFY(saveButton->isEnabled());

        QTest::mouseClick(saveButton, Qt::LeftButton);
        QCOMPARE(answerer.texts.size(), 2);
        QCOMPARE(set.count(), 0);
        QCOMPARE(save.count(), 1);
        QCOMPARE(last(save).handle, kHandle);
        QVERIFY(!saveButton->isEnabled());
    }

    void patternEditReachesDevice()
    {
        FiltersPanel panel;
        panel.setCurrentHandle(kHandle);
        panel.slot_DPIFilterReceived(answer(kHandle, 1));
        QSignalSpy set(&panel, &FiltersPanel::signal_set_dpifilter);
        QSignalSpy save(&panel, &FiltersPanel::signal_save_dpifilter);
        auto *setButton = child<QPushButton>(panel, "setFiltersButton");
        setButton->setEnabled(false);
        auto *hex = child<QLineEdit>(panel, "HexBox");
        hex->setCursorPosition(3);
        QTest::keyClicks(hex, "ff");
        QVERIFY(setButton->isEnabled());

        QTest::mouseClick(setButton, Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(panel, "saveFiltersButton"), Qt::LeftButton);
        QCOMPARE(set.count(), 2);
        const DpiFilter sent = last(set).dpiFilter;
        QCOMPARE(sent.enabled, 1u);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(sent.pattern), 3).toHex(), QByteArray("47ff00"));
        QCOMPARE(sent.pattern_mask, 3u);
        QCOMPARE(sent.reserved[3], uint8_t(0x99));
        QCOMPARE(save.count(), 1);

        // Another device starts blank: nothing of this one may reach it.
        panel.setCurrentHandle(kHandle + 1);
        QVERIFY(!child<QCheckBox>(panel, "enableFiltersCheckBox")->isChecked());
        QCOMPARE(panel.findChild<FilterControl *>()->hexText(), QString("** ").repeated(15) + "**");
        QCOMPARE(set.count(), 2);
    }
};

QTEST_MAIN(tst_FiltersPanel)
#include "tst_filterspanel.moc"
