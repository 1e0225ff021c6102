// A server library for the automation tests: made by ProgID through the
// path registered for its class.
#include <QObject>
#include <QString>

namespace {

class PluginGreeter : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString createdAs READ createdAs CONSTANT)
    Q_CLASSINFO("DispId:0x60030003", "Greet")

public:
    explicit PluginGreeter(QString createdAs) : m_createdAs(std::move(createdAs)) {}
    QString createdAs() const { return m_createdAs; }
    Q_INVOKABLE QString Greet(const QString& who) const { return QStringLiteral("hello ") + who; }

private:
    QString m_createdAs;
};

}  // namespace

extern "C" Q_DECL_EXPORT QObject* qor_create(const char* progIdOrClsid) {
    const QString name = QString::fromUtf8(progIdOrClsid);
    if (name.compare(QStringLiteral("Refuse.Me"), Qt::CaseInsensitive) == 0) return nullptr;
    return new PluginGreeter(name);
}

#include "autoplugin.moc"
