#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QStringList>
#include <QTabWidget>
#include <QTest>

#include "settings/settings_store.h"
#include "tests/ui/layout_checks.h"
#include "tests/ui/option_test_services.h"
#include "ui/spin_edit.h"

namespace sonorell::testing {

inline constexpr const char* kGainRefusal =
    "Invalid amplification coefficient. It's betwen 10 and 3000.";

// One page inside a tab widget sized to what it asks for, shown and active, with fake
// desktop services that record what the page asked of them.
template <class Page>
class Hosted {
 public:
  explicit Hosted(const Settings& settings, const WmaProfileList& wmaList = WmaProfileList()) {
    desktop.wmaList = wmaList;
    page = new Page(settings, services, &tabs);
    tabs.addTab(page, page->Title());
    page->InitPage();
    tabs.resize(tabs.sizeHint());
    tabs.show();
    tabs.activateWindow();
    if (!QTest::qWaitForWindowActive(&tabs)) qWarning("the page's window did not become active");
  }

  template <class W>
  W* Child(const char* name) const {
    W* w = page->template findChild<W*>(QString::fromUtf8(name));
    if (!w) qFatal("no control named %s", name);
    return w;
  }
  bool Has(const char* name) const {
    return page->template findChild<QWidget*>(QString::fromUtf8(name)) != nullptr;
  }
  QWidget* Focused() const { return tabs.focusWidget(); }
  QString Shown(const char* combo) const { return Child<QComboBox>(combo)->currentText(); }
  bool Checked(const char* radio) const { return Child<QAbstractButton>(radio)->isChecked(); }
  bool Enabled(const char* control) const { return Child<QWidget>(control)->isEnabled(); }

  OptionDesktop desktop;
  OptionServices services = ServicesFor(desktop);
  QTabWidget tabs;
  Page* page = nullptr;
};

// The page as the user sees it: nothing cut off. Its picture goes where pictures are asked for.
template <class Page>
void ExpectPageFits(Hosted<Page>& h, const QString& shot) {
  QApplication::processEvents();
  const QStringList clipped = ClippedControls(*h.page);
  QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
  SaveWindowScreenshot(h.tabs, shot);
}

// A click where the user aims: on the indicator of a check box or radio, else the middle.
inline void Click(QAbstractButton* button) {
  const bool indicator = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
  const QPoint at =
      indicator ? QPoint(button->height() / 2, button->height() / 2) : button->rect().center();
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
}

template <class Page>
void Click(const Hosted<Page>& h, const char* name) {
  Click(h.template Child<QAbstractButton>(name));
}

// Picks the entry with this text as the user does, which announces it with activated.
inline void Pick(QComboBox* combo, const QString& text) {
  const int index = combo->findText(text);
  if (index < 0) qFatal("no entry %s", qPrintable(text));
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

template <class Page>
void Pick(const Hosted<Page>& h, const char* combo, const QString& text) {
  Pick(h.template Child<QComboBox>(combo), text);
}

// Replaces the edit's text by typing.
inline void Type(SpinEdit* edit, const QString& text) {
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

inline QStringList Entries(const QComboBox* combo) {
  QStringList entries;
  for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
  return entries;
}

// What the store holds after the page's values went in as OK saves them.
inline Settings SaveAndReload(const Settings& settings) {
  SaveSettings(settings, kSaveOptions);
  return StoredSettings();
}

}  // namespace sonorell::testing
