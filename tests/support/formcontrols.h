#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "app/logpane.h"

// The main window's controls, found by their names as any tool that looks at a window
// finds them: the window keeps its members to itself.
struct TFormControls {
  template <typename T>
  static T* Find(const QWidget& form, const char* name) {
    T* control = form.findChild<T*>(QString::fromLatin1(name));
    if (control == nullptr) {
      std::fprintf(stderr, "the window has no control %s\n", name);
      std::abort();
    }
    return control;
  }

  explicit TFormControls(const QWidget& form)
      : GroupBox1(Find<QGroupBox>(form, "GroupBox1")),
        Label1(Find<QLabel>(form, "Label1")),
        Label2(Find<QLabel>(form, "Label2")),
        Label5(Find<QLabel>(form, "Label5")),
        edFWFile(Find<QComboBox>(form, "edFWFile")),
        btnFwOpen(Find<QPushButton>(form, "btnFwOpen")),
        btnFwLoad(Find<QPushButton>(form, "btnFwLoad")),
        lblFirmwDate(Find<QLabel>(form, "lblFirmwDate")),
        lblFileVer(Find<QLabel>(form, "lblFileVer")),
        cbAutoWrite(Find<QCheckBox>(form, "cbAutoWrite")),
        cbWritelogToFile(Find<QCheckBox>(form, "cbWritelogToFile")),
        DevPanel(Find<QWidget>(form, "DevPanel")),
        reLog(Find<TLogPane>(form, "reLog")) {}

  QGroupBox* GroupBox1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label5;
  QComboBox* edFWFile;
  QPushButton* btnFwOpen;
  QPushButton* btnFwLoad;
  QLabel* lblFirmwDate;
  QLabel* lblFileVer;
  QCheckBox* cbAutoWrite;
  QCheckBox* cbWritelogToFile;
  QWidget* DevPanel;
  TLogPane* reLog;
};
