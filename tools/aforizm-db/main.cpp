// aforizm-db: creates catalogue databases (MAIN.DB) and fills them. The
// program itself never creates or changes a schema; this tool does, from the
// same data/schema.sql.
#include "Catalogue.h"
#include "Generate.h"
#include "Sample.h"
#include "Sqlite.h"
#include "TextImport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>

using namespace dbtool;

namespace {

const char kUsage[] = R"(Usage: aforizm-db COMMAND [ARGUMENTS]

Creates and fills catalogue databases (MAIN.DB) for Афоризмы.

Commands:
  create PATH
      Write a new, empty catalogue database to PATH. Refuses to overwrite.

  import DB [--section NAME] [--sub1 NAME] [--sub2 NAME] [--source TEXT]
            [--format auto|fortune|export] [--encoding auto|NAME] FILE...
      Add the aphorisms of each FILE to the existing database DB, filed under
      the level-3 node named by section / subsection 1 / subsection 2. Nodes
      that do not exist yet are added. A name not given is taken from the
      file's path: --sub2 from the file name (without a .txt extension),
      --sub1 from its folder, --section from the folder above that. So
          aforizm-db import MAIN.DB Мудрость/Жизнь/*.txt
      files each FILE under its own node in Мудрость / Жизнь.
      --format   fortune: records separated by lines holding only "%", the
                 author on a last line starting with "--";
                 export: author line, text lines, empty line (what the
                 program's export writes);
                 auto (default): fortune if a line holds only "%".
      --encoding auto (default): UTF-8 if the file is valid UTF-8, otherwise
                 windows-1251; or any encoding name, e.g. koi8-r.
      --source   the source stored with every imported aphorism.
      All files are read and checked before the database is touched, and the
      whole import is one transaction: on any error nothing is written.

  sample DB [--from DIR]
      Build a new database DB from the Russian fortune files of the
      fortunes-ru package (DIR, default /usr/share/games/fortunes/ru), filed
      by theme. Refuses to overwrite.

  generate DB --aphorisms N --nodes M [--seed S]
      Build a new database DB with N synthetic aphorisms in M level-3 nodes,
      for benchmarks. The same seed (default 1) gives the same database.
      Refuses to overwrite.

  help, --help, -h
      Show this text.

Exit status: 0 on success, 1 when the command failed (nothing was written),
2 for a usage error.
)";

struct UsageError
{
    QString message;
};

// The arguments of one command: named options taking a value, and the rest.
struct Arguments
{
    QHash<QString, QString> options;
    QStringList positional;

    QString value(const QString& name) const { return options.value(name); }
    bool has(const QString& name) const { return options.contains(name); }
};

Arguments parseArguments(const QStringList& args, const QStringList& known)
{
    Arguments parsed;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1String("--")) || arg == QLatin1String("-")) {
            parsed.positional.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg.mid(2);
        QString value;
        qsizetype eq = name.indexOf(QLatin1Char('='));
        if (eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw UsageError{QStringLiteral("option --%1 needs a value").arg(name)};
        }
        if (!known.contains(name))
            throw UsageError{QStringLiteral("unknown option --%1").arg(name)};
        if (parsed.options.contains(name))
            throw UsageError{QStringLiteral("option --%1 given twice").arg(name)};
        parsed.options.insert(name, value);
    }
    return parsed;
}

void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void result(const QString& text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
}

QString seconds(const QElapsedTimer& timer)
{
    return QString::number(double(timer.elapsed()) / 1000.0, 'f', 1);
}

qint64 number(const Arguments& args, const QString& name, qint64 fallback, bool required)
{
    if (!args.has(name)) {
        if (required)
            throw UsageError{QStringLiteral("--%1 is required").arg(name)};
        return fallback;
    }
    bool ok = false;
    qint64 value = args.value(name).toLongLong(&ok);
    if (!ok || value < 0)
        throw UsageError{QStringLiteral("--%1: \"%2\" is not a whole number of 0 or more")
                             .arg(name, args.value(name))};
    return value;
}

void expectPositional(const Arguments& args, qsizetype count, const char* what)
{
    if (args.positional.size() != count)
        throw UsageError{QStringLiteral("expected %1").arg(QLatin1String(what))};
}

int commandCreate(const QStringList& argv)
{
    Arguments args = parseArguments(argv, {});
    expectPositional(args, 1, "one PATH");
    buildNewDatabase(args.positional[0], [](Database&) {});
    result(QStringLiteral("created %1").arg(args.positional[0]));
    return 0;
}

// A node name given on the command line or taken from a path.
QString checkedName(const QString& name, const QString& what, const QString& file)
{
    if (name.trimmed().isEmpty() || name.contains(QLatin1Char('\n')) ||
        name.contains(QLatin1Char('\r')))
        throw Failure(QStringLiteral("%1: no usable %2 name (\"%3\"); give it with --%2")
                          .arg(file, what, name));
    return name;
}

NodePath nodeForFile(const Arguments& args, const QString& file)
{
    QFileInfo info(file);
    QString sub2 = info.fileName();
    if (sub2.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
        sub2.chop(4);
    QDir dir = info.absoluteDir();
    QString folder = dir.isRoot() ? QString() : dir.dirName();
    QString upper = dir.cdUp() && !dir.isRoot() ? dir.dirName() : QString();

    NodePath path;
    path.section = checkedName(args.has("section") ? args.value("section") : upper,
                               QStringLiteral("section"), file);
    path.sub1 =
        checkedName(args.has("sub1") ? args.value("sub1") : folder, QStringLiteral("sub1"), file);
    path.sub2 =
        checkedName(args.has("sub2") ? args.value("sub2") : sub2, QStringLiteral("sub2"), file);
    return path;
}

int commandImport(const QStringList& argv)
{
    Arguments args =
        parseArguments(argv, {"section", "sub1", "sub2", "source", "format", "encoding"});
    if (args.positional.size() < 2)
        throw UsageError{QStringLiteral("expected DB and at least one FILE")};
    const QString dbPath = args.positional[0];
    const QStringList files = args.positional.mid(1);

    Format format = Format::Auto;
    QString formatName = args.value("format");
    if (formatName == QLatin1String("fortune"))
        format = Format::Fortune;
    else if (formatName == QLatin1String("export"))
        format = Format::Export;
    else if (!formatName.isEmpty() && formatName != QLatin1String("auto"))
        throw UsageError{QStringLiteral("--format must be auto, fortune or export")};
    QString encoding = args.value("encoding");
    if (encoding == QLatin1String("auto"))
        encoding.clear();
    QString source =
        args.has("source") && !args.value("source").isEmpty() ? args.value("source") : QString();

    // Everything is read and checked before the database is opened.
    QElapsedTimer timer;
    timer.start();
    QList<ParsedFile> parsed;
    QList<NodePath> nodes;
    qint64 total = 0;
    for (const QString& file : files) {
        nodes.append(nodeForFile(args, file));
        parsed.append(readAphorismFile(file, format, encoding));
        total += parsed.last().records.size();
        if (parsed.last().emptyRecords > 0)
            say(QStringLiteral("%1: skipped %2 empty record(s)")
                    .arg(file)
                    .arg(parsed.last().emptyRecords));
    }

    if (!QFileInfo(dbPath).isFile())
        throw Failure(QStringLiteral("%1: no such database file").arg(dbPath));
    Database db(dbPath, Database::Mode::OpenExisting);
    checkCatalogue(db);

    const bool showProgress = total >= 20000;
    Transaction transaction(db);
    CatalogueWriter writer(db);
    for (qsizetype i = 0; i < files.size(); ++i) {
        qint64 node = writer.node(nodes[i]);
        for (const Record& record : parsed[i].records) {
            writer.addAphorism(node, record.author, record.text, source);
            if (showProgress && writer.aphorismsAdded() % 10000 == 0)
                say(QStringLiteral("imported %1 of %2 aphorisms")
                        .arg(writer.aphorismsAdded())
                        .arg(total));
        }
    }
    transaction.commit();
    result(QStringLiteral("imported %1 aphorisms from %2 file(s), %3 new node(s), in %4 s")
               .arg(writer.aphorismsAdded())
               .arg(files.size())
               .arg(writer.nodesAdded())
               .arg(seconds(timer)));
    return 0;
}

int commandSample(const QStringList& argv)
{
    Arguments args = parseArguments(argv, {"from"});
    expectPositional(args, 1, "one DB");
    QElapsedTimer timer;
    timer.start();
    QString from = args.has("from") ? args.value("from") : QString::fromUtf8(kFortunesRu);
    SampleResult made = buildSample(args.positional[0], from);
    result(QStringLiteral("created %1: %2 aphorisms from %3 files in %4 nodes, in %5 s")
               .arg(args.positional[0])
               .arg(made.aphorisms)
               .arg(made.files)
               .arg(made.nodes)
               .arg(seconds(timer)));
    return 0;
}

int commandGenerate(const QStringList& argv)
{
    Arguments args = parseArguments(argv, {"aphorisms", "nodes", "seed"});
    expectPositional(args, 1, "one DB");
    GenerateOptions options;
    options.aphorisms = number(args, QStringLiteral("aphorisms"), 0, true);
    options.nodes = number(args, QStringLiteral("nodes"), 0, true);
    options.seed = quint64(number(args, QStringLiteral("seed"), 1, false));
    QElapsedTimer timer;
    timer.start();
    generateCollection(args.positional[0], options, [&](qint64 done) {
        say(QStringLiteral("generated %1 of %2 aphorisms").arg(done).arg(options.aphorisms));
    });
    result(QStringLiteral("created %1: %2 aphorisms in %3 nodes, in %4 s")
               .arg(args.positional[0])
               .arg(options.aphorisms)
               .arg(options.nodes)
               .arg(seconds(timer)));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    if (args.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString command = args.takeFirst();
    try {
        if (command == QLatin1String("help") || command == QLatin1String("--help") ||
            command == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (command == QLatin1String("create"))
            return commandCreate(args);
        if (command == QLatin1String("import"))
            return commandImport(args);
        if (command == QLatin1String("sample"))
            return commandSample(args);
        if (command == QLatin1String("generate"))
            return commandGenerate(args);
        throw UsageError{QStringLiteral("unknown command \"%1\"").arg(command)};
    } catch (const UsageError& error) {
        say(QStringLiteral("aforizm-db: %1\nTry 'aforizm-db --help'.").arg(error.message));
        return 2;
    } catch (const std::exception& error) {
        say(QStringLiteral("aforizm-db: %1").arg(QString::fromUtf8(error.what())));
        return 1;
    }
}
