#include <QTest>
class T : public QObject { Q_OBJECT };
QTEST_MAIN(T)
#include "config_box_test.moc"
