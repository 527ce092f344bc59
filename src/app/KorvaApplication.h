#pragma once
// The application object. No exception may cross the Qt event loop: an
// error that no command handled is caught here, at the delivery of the event
// that raised it, and shown in the application's error box; the program goes
// on with the next event.
#include <QApplication>

#include <functional>
#include <string>

namespace korva::app {

class KorvaApplication : public QApplication {
  Q_OBJECT
 public:
  KorvaApplication(int& argc, char** argv);

  // Where an unhandled error's message goes; the application error box
  // (MessageBox::ShowError) by default.
  void SetErrorHandler(std::function<void(const std::string&)> handler) { handler_ = std::move(handler); }

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  void Report(const std::string& message);
  std::function<void(const std::string&)> handler_;
};

}  // namespace korva::app
