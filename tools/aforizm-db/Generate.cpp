#include "Generate.h"

#include "Catalogue.h"

#include <QByteArray>
#include <QList>

#include <cmath>
#include <string>

namespace dbtool {
namespace {

// SplitMix64: tiny, fast, and the same sequence on every platform and
// standard library, unlike the distributions of <random>.
class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    quint64 below(quint64 n) { return n ? next() % n : 0; }
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    quint64 m_state;
};

const char* const kWords[] = {
    "жизнь",     "время",      "человек",  "любовь",    "правда",   "мысль",     "слово",
    "мир",       "душа",       "сердце",   "ум",        "глупость", "счастье",   "истина",
    "дело",      "друг",       "враг",     "женщина",   "мужчина",  "дорога",    "день",
    "ночь",      "год",        "век",      "судьба",    "свобода",  "воля",      "сила",
    "слабость",  "надежда",    "вера",     "совесть",   "честь",    "работа",    "деньги",
    "власть",    "война",      "мир",      "книга",     "знание",   "опыт",      "ошибка",
    "мудрость",  "красота",    "молчание", "смех",      "слеза",    "память",    "будущее",
    "прошлое",   "всегда",     "никогда",  "иногда",    "только",   "даже",      "уже",
    "ещё",       "очень",      "совсем",   "лишь",      "почти",    "тоже",      "потому",
    "что",       "как",        "когда",    "если",      "чтобы",    "но",        "и",
    "а",         "не",         "ни",       "в",         "на",       "за",        "под",
    "без",       "для",        "от",       "до",        "через",    "между",     "о",
    "это",       "тот",        "свой",     "каждый",    "всякий",   "другой",    "сам",
    "весь",      "наш",        "ваш",      "его",       "её",       "их",        "себя",
    "быть",      "знать",      "думать",   "говорить",  "молчать",  "любить",    "верить",
    "искать",    "находить",   "терять",   "ждать",     "помнить",  "забывать",  "жить",
    "умирать",   "смеяться",   "плакать",  "читать",    "писать",   "учить",     "понимать",
    "хотеть",    "мочь",       "делать",   "начинать",  "кончать",  "видеть",    "слышать",
    "большой",   "малый",      "новый",    "старый",    "добрый",   "злой",      "умный",
    "глупый",    "честный",    "лживый",   "вечный",    "простой",  "трудный",   "лёгкий",
    "тёмный",    "светлый",    "тихий",    "громкий",   "быстрый",  "медленный", "первый",
    "последний", "лучший",     "худший",   "настоящий", "чужой",    "родной",    "пустой",
    "полный",    "великий",    "смешной",  "грустный",  "живой",    "мёртвый",   "свет",
    "тень",      "огонь",      "вода",     "земля",     "небо",     "море",      "ветер",
    "камень",    "дерево",     "птица",    "зверь",     "дом",      "город",     "страна",
    "народ",     "закон",      "порядок",  "хаос",      "спор",     "совет",     "ответ",
    "вопрос",    "цель",       "путь",     "шаг",       "начало",   "конец",     "середина",
    "случай",    "удача",      "беда",     "радость",   "горе",     "страх",     "смелость",
    "гордость",  "скромность", "лень",     "труд",      "талант",   "гений",     "дурак",
    "мудрец",    "поэт",       "философ",  "учёный",    "врач",     "солдат",    "царь",
    "раб",       "бог",        "чёрт",     "ангел",     "зеркало",  "окно",      "дверь",
    "стена",     "мост",       "часы",     "минута",    "вечность", "мгновение", "шутка",
};

const char* const kSurnames[] = {
    "Иванов",   "Петров",      "Сидоров",   "Кузнецов",   "Смирнов",  "Попов",    "Васильев",
    "Соколов",  "Михайлов",    "Новиков",   "Фёдоров",    "Морозов",  "Волков",   "Алексеев",
    "Лебедев",  "Семёнов",     "Егоров",    "Павлов",     "Козлов",   "Степанов", "Николаев",
    "Орлов",    "Андреев",     "Макаров",   "Никитин",    "Захаров",  "Зайцев",   "Соловьёв",
    "Борисов",  "Яковлев",     "Григорьев", "Романов",    "Воробьёв", "Сергеев",  "Кузьмин",
    "Фролов",   "Александров", "Дмитриев",  "Королёв",    "Гусев",    "Киселёв",  "Ильин",
    "Максимов", "Поляков",     "Сорокин",   "Виноградов", "Ковалёв",  "Белов",    "Медведев",
    "Антонов",  "Тарасов",     "Жуков",     "Баранов",    "Филиппов", "Комаров",  "Давыдов",
    "Беляев",   "Герасимов",   "Богданов",  "Осипов",     "Сидорова", "Иванова",  "Петрова",
    "Смирнова", "Кузнецова",   "Попова",    "Соколова",   "Лебедева", "Козлова",  "Новикова",
};

const char kInitials[] = "АБВГДЕЖЗИКЛМНОПРСТУФЭЮЯ";

const char* const kSources[] = {
    "Записные книжки",   "Мысли и максимы",  "Письма другу",  "Дневник",
    "Сборник афоризмов", "Из бесед",         "Опыты",         "Старый альманах",
    "Речь на съезде",    "Газетная заметка", "Вечерние думы", "Собрание сочинений",
    "Устное предание",   "Избранное",        "Календарь",
};

// Words as UTF-8 with their length in characters.
struct Word
{
    std::string utf8;
    int chars;
};

QList<Word> toWords(const char* const* list, size_t count)
{
    QList<Word> words;
    for (size_t i = 0; i < count; ++i)
        words.append({list[i], int(QString::fromUtf8(list[i]).size())});
    return words;
}

// Upper-cases the first letter of a UTF-8 word.
std::string capitalized(const std::string& word)
{
    QString text = QString::fromStdString(word);
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text.toStdString();
}

class TextMaker
{
public:
    explicit TextMaker(Random& random)
        : m_random(random), m_words(toWords(kWords, std::size(kWords)))
    {
        for (const Word& word : m_words)
            m_capitalized.append(capitalized(word.utf8));
    }

    // A text of `length` characters or a few more.
    std::string text(int length)
    {
        std::string out;
        int chars = 0;
        bool sentenceStart = true;
        bool brokeLine = false;
        bool twoLines = m_random.below(10) == 0;
        while (chars < length) {
            qsizetype w = qsizetype(m_random.below(quint64(m_words.size())));
            if (!out.empty()) {
                if (twoLines && !brokeLine && chars >= length / 2 && sentenceStart) {
                    out += '\n';
                    brokeLine = true;
                } else {
                    out += ' ';
                }
                ++chars;
            }
            out += sentenceStart ? m_capitalized[w] : m_words[w].utf8;
            chars += m_words[w].chars;
            sentenceStart = false;
            quint64 mark = m_random.below(100);
            if (mark < 8) {
                out += ',';
                ++chars;
            } else if (mark < 14 && chars < length - 20) {
                out += mark < 12 ? '.' : (mark < 13 ? '!' : '?');
                ++chars;
                sentenceStart = true;
            }
        }
        if (!out.empty() &&
            (out.back() == ',' || out.back() == '.' || out.back() == '!' || out.back() == '?'))
            out.pop_back();
        out += m_random.below(5) == 0 ? "!" : ".";
        return out;
    }

    std::string name(int words)
    {
        std::string out;
        for (int i = 0; i < words; ++i) {
            qsizetype w = qsizetype(m_random.below(quint64(m_words.size())));
            if (i)
                out += ' ';
            out += i ? m_words[w].utf8 : m_capitalized[w];
        }
        return out;
    }

private:
    Random& m_random;
    QList<Word> m_words;
    QList<std::string> m_capitalized;
};

} // namespace

void generateCollection(const QString& path, const GenerateOptions& options,
                        const std::function<void(qint64)>& progress)
{
    if (options.nodes < 1 || options.nodes > 2147483647LL)
        throw Failure(QStringLiteral("--nodes must be between 1 and 2147483647"));
    if (options.aphorisms < 0 || options.aphorisms > 2147483647LL)
        throw Failure(QStringLiteral("--aphorisms must be between 0 and 2147483647"));

    buildNewDatabase(
        path,
        [&](Database& db) {
            Random random(options.seed);
            TextMaker maker(random);
            Statement addSection =
                db.prepare(QStringLiteral("INSERT INTO TB0 (GROUP1) VALUES (?)"));
            Statement addSub1 =
                db.prepare(QStringLiteral("INSERT INTO TB1 (NMB1, GROUP2) VALUES (?, ?)"));
            Statement addSub2 =
                db.prepare(QStringLiteral("INSERT INTO TB2 (NMB2, GROUP3) VALUES (?, ?)"));
            Statement addAphorism = db.prepare(QStringLiteral(
                "INSERT INTO TB4 (NMB3, AUTHOR, AFORIZM, SOURCE) VALUES (?, ?, ?, ?)"));

            // Ten nodes per subsection 1 and ten subsections 1 per section;
            // names carry a number so that they are unique and sort stably.
            QList<qint64> nodeKeys;
            nodeKeys.reserve(options.nodes);
            qint64 section = 0, sub1 = 0;
            for (qint64 i = 0; i < options.nodes; ++i) {
                if (i % 100 == 0) {
                    std::string name = maker.name(2) + " " + std::to_string(i / 100 + 1);
                    addSection.bindUtf8(1, name.c_str(), int(name.size())).run();
                    section = db.lastInsertId();
                }
                if (i % 10 == 0) {
                    std::string name = maker.name(2) + " " + std::to_string(i / 10 % 10 + 1);
                    addSub1.bind(1, section).bindUtf8(2, name.c_str(), int(name.size())).run();
                    sub1 = db.lastInsertId();
                }
                std::string name =
                    maker.name(random.below(3) + 1) + " " + std::to_string(i % 10 + 1);
                addSub2.bind(1, sub1).bindUtf8(2, name.c_str(), int(name.size())).run();
                nodeKeys.append(db.lastInsertId());
            }

            const qsizetype surnames = qsizetype(std::size(kSurnames));
            const QString initials = QString::fromUtf8(kInitials);
            for (qint64 i = 0; i < options.aphorisms; ++i) {
                // u^2 piles the aphorisms up at the first nodes: node k gets
                // a share of about (sqrt(k+1) - sqrt(k)) / sqrt(nodes).
                double u = random.unit();
                auto node = qsizetype(double(options.nodes) * u * u);
                addAphorism.bind(1, nodeKeys[qMin(node, nodeKeys.size() - 1)]);

                if (random.below(20) != 0) {
                    QString author =
                        QStringLiteral("%1.%2. %3")
                            .arg(initials[qsizetype(random.below(initials.size()))])
                            .arg(initials[qsizetype(random.below(initials.size()))])
                            .arg(QString::fromUtf8(kSurnames[random.below(quint64(surnames))]));
                    addAphorism.bind(2, author);
                }
                std::string text = maker.text(int(40 + random.below(361)));
                addAphorism.bindUtf8(3, text.c_str(), int(text.size()));
                if (random.below(10) < 3)
                    addAphorism.bindUtf8(4, kSources[random.below(std::size(kSources))], -1);
                addAphorism.run();
                if (progress && (i + 1) % 100000 == 0)
                    progress(i + 1);
            }
        },
        true);
}

} // namespace dbtool
