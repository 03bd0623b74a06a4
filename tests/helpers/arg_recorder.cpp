// Records how it was started: the arguments after the program path and the
// working folder, as JSON, into the file named by VQ_ARGS_OUT.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QJsonArray arguments;
    const QStringList all = app.arguments();
    for (int i = 1; i < all.size(); ++i)
        arguments.append(all.at(i));
    const QJsonObject record{{QStringLiteral("arguments"), arguments},
                             {QStringLiteral("workingFolder"), QDir::currentPath()}};
    QFile out(qEnvironmentVariable("VQ_ARGS_OUT"));
    if (!out.open(QIODevice::WriteOnly))
        return 2;
    out.write(QJsonDocument(record).toJson(QJsonDocument::Compact));
    return 0;
}
