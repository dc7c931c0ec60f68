#pragma once

#include <QApplication>

#include <functional>

// The application object. An error that escapes an event handler is shown by
// the error display and the program goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    using ErrorDisplay = std::function<void(const QString &)>;

    TApplication(int &argc, char **argv);

    void setErrorDisplay(ErrorDisplay display) { m_errorDisplay = std::move(display); }
    bool notify(QObject *receiver, QEvent *event) override;

private:
    void showException(const QString &message);

    ErrorDisplay m_errorDisplay;
};
