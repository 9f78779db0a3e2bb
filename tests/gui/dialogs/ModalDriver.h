#pragma once

// Drives a dialog that a free function runs with exec(): once a modal dialog of type D
// is up, `act` runs on it (it should press a button that closes it). Fails the test
// when no such dialog appears within a few seconds, and closes the dialog (failing the
// test) when `act` left it open, so a wrong press never hangs the suite.

#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace km::guitest {

template <typename D>
void WhenModal(std::function<void(D*)> act) {
  auto* timer = new QTimer(qApp);
  auto* clock = new QElapsedTimer;
  clock->start();
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, qApp, [timer, clock, act] {
    if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      act(dialog);
      QPointer<D> left(dialog);
      QTimer::singleShot(3000, qApp, [left] {
        if (left && left->isVisible()) {
          left->reject();
          QFAIL("the dialog stayed open");
        }
      });
    } else if (clock->elapsed() > 5000) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      QFAIL("no modal dialog of the expected type appeared");
    }
  });
  timer->start();
}

}  // namespace km::guitest
