#include "ui/message_pump.h"

#include <QCoreApplication>

namespace sonorell {

void PumpMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace sonorell
