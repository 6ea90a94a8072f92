#include "Sample.h"

#include "TextImport.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace dbtool {
namespace {

struct Filing
{
    const char* file;
    const char* section;
    const char* sub1;
    const char* sub2;
};

// The catalogue of the sample collection. Sections group themes, subsections
// 1 narrow them, and each fortune file becomes one subsection 2.
const Filing kFilings[] = {
    {"life", "Мудрость", "Жизнь и судьба", "Жизнь"},
    {"life_k", "Мудрость", "Жизнь и судьба", "О жизни коротко"},
    {"time", "Мудрость", "Жизнь и судьба", "Время"},
    {"future", "Мудрость", "Жизнь и судьба", "Цели и будущее"},
    {"happy", "Мудрость", "Жизнь и судьба", "Счастье"},
    {"success", "Мудрость", "Жизнь и судьба", "Успех"},
    {"wealth", "Мудрость", "Жизнь и судьба", "Богатство и бедность"},
    {"work", "Мудрость", "Жизнь и судьба", "Труд"},
    {"ill", "Мудрость", "Жизнь и судьба", "Здоровье и врачи"},
    {"human_being", "Мудрость", "Человек и характер", "Человек"},
    {"conscience", "Мудрость", "Человек и характер", "Совесть"},
    {"ego_and_alt", "Мудрость", "Человек и характер", "Эгоизм и альтруизм"},
    {"freewill", "Мудрость", "Человек и характер", "Воля и власть"},
    {"genious", "Мудрость", "Человек и характер", "Гений"},
    {"foolish", "Мудрость", "Человек и характер", "Глупость"},
    {"disa", "Мудрость", "Человек и характер", "Пороки и добродетели"},
    {"b13", "Мудрость", "Человек и характер", "Манеры и внешность"},
    {"truth", "Мудрость", "Истина и знание", "Истина"},
    {"truth_and_lie", "Мудрость", "Истина и знание", "Правда и ложь"},
    {"knowledge", "Мудрость", "Истина и знание", "Знание"},
    {"education", "Мудрость", "Истина и знание", "Мораль и воспитание"},
    {"book", "Мудрость", "Истина и знание", "Книги"},
    {"art", "Искусство", "Об искусстве", "Искусство"},
    {"citates", "Искусство", "Об искусстве", "Музыка и кино"},
    {"feano", "Искусство", "Стихи", "Четверостишия"},
    {"haiku", "Искусство", "Стихи", "Хокку"},
    {"love", "Любовь и дружба", "Любовь", "Любовь"},
    {"love_s", "Любовь и дружба", "Любовь", "Любовь и страсть"},
    {"lovers", "Любовь и дружба", "Любовь", "Влюблённые"},
    {"innocence", "Любовь и дружба", "Любовь", "Первое чувство"},
    {"amur", "Любовь и дружба", "Любовь", "Амур"},
    {"flirt", "Любовь и дружба", "Любовь", "Флирт"},
    {"sympathy", "Любовь и дружба", "Любовь", "Симпатия"},
    {"sex", "Любовь и дружба", "Страсть", "Страсть"},
    {"d1", "Любовь и дружба", "Страсть", "Поцелуи"},
    {"d21", "Любовь и дружба", "Страсть", "Наслаждение"},
    {"d41", "Любовь и дружба", "Страсть", "Конфузы"},
    {"man_and_woman", "Любовь и дружба", "Мужчина и женщина", "Мужчина и женщина"},
    {"relations", "Любовь и дружба", "Мужчина и женщина", "Отношения"},
    {"fidelity", "Любовь и дружба", "Мужчина и женщина", "Верность"},
    {"treason", "Любовь и дружба", "Мужчина и женщина", "Измена"},
    {"e13", "Любовь и дружба", "Мужчина и женщина", "Жёны и мужья"},
    {"b0", "Любовь и дружба", "О женщинах", "Женщины"},
    {"b11", "Любовь и дружба", "О женщинах", "Женские заботы"},
    {"b12", "Любовь и дружба", "О женщинах", "Красота"},
    {"b2", "Любовь и дружба", "О женщинах", "Одежда и мода"},
    {"e0", "Любовь и дружба", "О женщинах", "Фигура"},
    {"e12", "Любовь и дружба", "О женщинах", "Внешность и душа"},
    {"friendship", "Любовь и дружба", "Дружба", "Дружба и вражда"},
    {"computer", "Наука и компьютеры", "Компьютеры", "Компьютеры"},
    {"M$", "Наука и компьютеры", "Компьютеры", "Ошибки Windows"},
    {"programming", "Наука и компьютеры", "Компьютеры", "Программирование"},
    {"murphy", "Наука и компьютеры", "Законы и факты", "Законы Мерфи"},
    {"do_you_know", "Наука и компьютеры", "Законы и факты", "А знаете ли вы..."},
    {"polit", "Общество", "Политика и история", "Политика"},
    {"war", "Общество", "Политика и история", "Война"},
    {"russia_today", "Общество", "Политика и история", "Россия сегодня"},
    {"religion", "Общество", "Вера и нравы", "Религия"},
    {"drink", "Общество", "Вера и нравы", "Выпивка"},
    {"armenian", "Юмор", "Анекдоты и шутки", "Армянское радио"},
    {"just4fun", "Юмор", "Анекдоты и шутки", "Просто так"},
    {"adv", "Юмор", "Анекдоты и шутки", "Реклама"},
    {"if", "Юмор", "Анекдоты и шутки", "Если..."},
    {"adv_v", "Юмор", "Игра слов", "Определения"},
    {"fomenko", "Юмор", "Игра слов", "Каламбуры"},
    {"polyakov", "Авторы", "Юрий Поляков", "Афоризмы"},
    {"other", "Авторы", "Евгений Кащеев", "Разное"},
    {"eshe", "Авторы", "Евгений Кащеев", "Ещё"},
};

const char* const kMonths[] = {"январь", "февраль", "март",     "апрель",  "май",    "июнь",
                               "июль",   "август",  "сентябрь", "октябрь", "ноябрь", "декабрь"};

} // namespace

NodePath sampleNodeFor(const QString& fileName)
{
    static const QHash<QString, const Filing*> byFile = [] {
        QHash<QString, const Filing*> map;
        for (const Filing& filing : kFilings)
            map.insert(QString::fromUtf8(filing.file), &filing);
        return map;
    }();
    if (const Filing* filing = byFile.value(fileName))
        return {QString::fromUtf8(filing->section), QString::fromUtf8(filing->sub1),
                QString::fromUtf8(filing->sub2)};

    // Monthly issues, "2001.03": by year and month, so that the names sort by date.
    static const QRegularExpression monthly(QStringLiteral("^(\\d{4})\\.(\\d{2})$"));
    QRegularExpressionMatch match = monthly.match(fileName);
    if (match.hasMatch()) {
        int month = match.captured(2).toInt();
        if (month >= 1 && month <= 12)
            return {QStringLiteral("Авторы"), QStringLiteral("Евгений Кащеев"),
                    QStringLiteral("%1-%2, %3")
                        .arg(match.captured(1), match.captured(2),
                             QString::fromUtf8(kMonths[month - 1]))};
    }
    return {QStringLiteral("Разное"), QStringLiteral("Прочее"), fileName};
}

SampleResult buildSample(const QString& path, const QString& fortuneDir)
{
    QDir dir(fortuneDir);
    if (!dir.exists())
        throw Failure(QStringLiteral("%1: no such folder (is the fortunes-ru package installed?)")
                          .arg(fortuneDir));
    QList<QFileInfo> files;
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        if (info.isSymLink() || info.suffix() == QLatin1String("dat") ||
            info.suffix() == QLatin1String("u8"))
            continue;
        files.append(info);
    }
    if (files.isEmpty())
        throw Failure(QStringLiteral("%1: no fortune files found").arg(fortuneDir));

    // Read everything first: a bad file stops the run before any file is written.
    QList<ParsedFile> parsed;
    for (const QFileInfo& info : files)
        parsed.append(readAphorismFile(info.filePath(), Format::Fortune, QString()));

    SampleResult result;
    buildNewDatabase(path, [&](Database& db) {
        CatalogueWriter writer(db);
        for (qsizetype i = 0; i < files.size(); ++i) {
            qint64 node = writer.node(sampleNodeFor(files[i].fileName()));
            for (const Record& record : parsed[i].records)
                writer.addAphorism(node, record.author, record.text);
        }
        result.files = int(files.size());
        result.aphorisms = writer.aphorismsAdded();
        result.nodes = writer.nodesAdded();
    });
    return result;
}

} // namespace dbtool
