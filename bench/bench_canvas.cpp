// Writing and reading back a large canvas file (10,000 freehand strokes of 200 points each),
// against xmllint's streaming parser reading the same file: a reader that builds the items
// should stay within a small factor of one that only parses.

#include "BenchReport.h"

#include <CanvasDocumentReader.h>
#include <CanvasDocumentWriter.h>
#include <CanvasScene.h>
#include <FreehandGraphic.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainterPath>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Strokes = 10000;
constexpr int PointsPerStroke = 200;
constexpr int Rounds = 5;

void fail(const char *what)
{
    std::fprintf(stderr, "bench_canvas: FAILED: %s\n", what);
    std::exit(1);
}

/// A handwriting-like canvas: strokes wandering from random starting points.
void fillScene(CanvasScene &scene)
{
    QRandomGenerator random(20261205);
    for (int s = 0; s < Strokes; ++s) {
        QPointF point(random.bounded(1920.0), random.bounded(1080.0));
        QPainterPath path(point);
        for (int p = 1; p < PointsPerStroke; ++p) {
            point += QPointF(random.bounded(8.0) - 4, random.bounded(8.0) - 4);
            path.lineTo(point);
        }
        auto *stroke = new FreehandGraphic;
        stroke->setPen(QPen(QColor::fromHsv(int(random.bounded(360)), 200, 220),
                            1 + random.bounded(8.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        stroke->setSourcePath(path);
        stroke->setZValue(s);
        scene.addItem(stroke);
    }
}

bool writeCanvas(const CanvasScene &scene, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    CanvasDocumentWriter writer;
    if (!writer.open(&file))
        return false;
    scene.writeXml(writer);
    return writer.close() && !writer.hasError();
}

bool readCanvas(const QString &path, CanvasScene &scene)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    CanvasDocumentReader reader;
    if (!reader.open(&file) || !scene.readXml(reader))
        return false;
    return scene.items().size() == Strokes;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("canvas.xml"));

    CanvasScene scene;
    fillScene(scene);

    std::vector<double> writes, reads, references;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        if (!writeCanvas(scene, path))
            fail("writing the canvas");
        writes.push_back(timer.nsecsElapsed() / 1e6);

        {
            // Destroying the scene afterwards is not part of reading it.
            CanvasScene target;
            timer.restart();
            if (!readCanvas(path, target))
                fail("reading the canvas back");
            reads.push_back(timer.nsecsElapsed() / 1e6);
        }

        QProcess xmllint;
        timer.restart();
        xmllint.start(QStringLiteral("xmllint"),
                      {QStringLiteral("--stream"), QStringLiteral("--noout"), path});
        if (!xmllint.waitForFinished(120000) || xmllint.exitStatus() != QProcess::NormalExit
            || xmllint.exitCode() != 0)
            fail("xmllint --stream --noout (package libxml2-utils)");
        references.push_back(timer.nsecsElapsed() / 1e6);
    }

    const double bytes = double(QFile(path).size());
    std::printf("canvas file: %d strokes of %d points, %.1f MB\n", Strokes, PointsPerStroke,
                bytes / 1e6);
    Bench::report("canvas write, 10000 strokes x 200 points", Bench::median(writes),
                  Bench::median(references), "ms", Bench::Better::Lower,
                  "xmllint --stream --noout (parse only)");
    Bench::report("canvas read, 10000 strokes x 200 points", Bench::median(reads),
                  Bench::median(references), "ms", Bench::Better::Lower,
                  "xmllint --stream --noout");
    Bench::report("canvas file size", bytes / 1e6, bytes / 1e6, "MB", Bench::Better::Lower,
                  "the same file");
    return 0;
}
