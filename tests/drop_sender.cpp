// A small window that drags a file elsewhere, as a file manager does: the
// end-to-end test presses the mouse on it and lets go over Gridwright, so a
// real drag and drop (XDND) reaches the program.
// Usage: drop_sender FILE X Y   (the window's top-left corner on screen)
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

class DragSource : public QWidget {
  public:
    explicit DragSource(const QString& file) : m_file(file) {
        setWindowTitle("drop-sender");
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        setFixedSize(60, 60);
        setStyleSheet("background: rgb(200, 40, 40);");
    }

  protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!(event->buttons() & Qt::LeftButton) || m_dragging)
            return;
        m_dragging = true;
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(m_file)});
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
        QApplication::quit();
    }

  private:
    QString m_file;
    bool m_dragging = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    DragSource source(QString::fromLocal8Bit(argv[1]));
    source.move(QString(argv[2]).toInt(), QString(argv[3]).toInt());
    source.show();
    return app.exec();
}
