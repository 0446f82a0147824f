#include "import/pedigree.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "import/import_error.h"

namespace triotdt::import {
namespace {

constexpr std::string_view unknownParent = "0";
constexpr std::string_view affected = "2";
constexpr std::string_view unaffected = "1";

using PersonKey = std::pair<std::string_view, std::string_view>;  // family, person

std::map<PersonKey, std::int32_t> indexPeople(const std::vector<Person>& people) {
    std::map<PersonKey, std::int32_t> index;
    for (std::size_t i = 0; i < people.size(); ++i) {
        index.emplace(PersonKey{people[i].family, people[i].id}, static_cast<std::int32_t>(i));
    }
    return index;
}

// The families, other than `family`, that have a person named `id`.
std::string otherFamilies(const std::vector<Person>& people, const std::string& family, const std::string& id) {
    std::string names;
    for (const Person& person : people) {
        if (person.id == id && person.family != family) names += (names.empty() ? "" : ", ") + person.family;
    }
    return names;
}

// The parents of each person found in the same family (-1: none).
std::vector<std::array<std::int32_t, 2>> findParents(const std::vector<Person>& people) {
    const auto index = indexPeople(people);
    std::vector<std::array<std::int32_t, 2>> parents(people.size(), {-1, -1});
    for (std::size_t p = 0; p < people.size(); ++p) {
        const std::string* names[2] = {&people[p].father, &people[p].mother};
        for (std::size_t k = 0; k < 2; ++k) {
            const auto at = index.find(PersonKey{people[p].family, *names[k]});
            if (at != index.end()) parents[p][k] = at->second;
        }
    }
    return parents;
}

}  // namespace

Person readPersonFields(const LineReader& reader) {
    const auto& fields = reader.fields();
    if (fields.size() < 6) {
        reader.fail(std::to_string(fields.size()) +
                    " fields; a pedigree line starts with six: family, person, father, mother, sex, phenotype");
    }
    Person person{std::string(fields[0]), std::string(fields[1]), std::string(fields[2]),
                  std::string(fields[3]), reader.lineNumber(),    -1,
                  std::string(fields[5])};
    person.sex = fields[4] == "1" ? Sex::male : fields[4] == "2" ? Sex::female : Sex::unknown;
    if (person.id == unknownParent) reader.fail("the person's name is \"0\", which stands for an unknown parent");
    if (person.father == person.id || person.mother == person.id) {
        reader.fail("person " + person.id + " is named as his or her own parent");
    }
    if (person.father != unknownParent && person.father == person.mother) {
        reader.fail("person " + person.id + " has " + person.father + " as both father and mother");
    }
    return person;
}

std::vector<Person> readPedigreeFile(const std::string& path) {
    LineReader reader(path);
    std::vector<Person> people;
    while (reader.next()) {
        if (reader.fields().size() != 6) {
            reader.fail(std::to_string(reader.fields().size()) +
                        " fields; a pedigree line has six: family, person, father, mother, sex, phenotype");
        }
        people.push_back(readPersonFields(reader));
    }
    checkUniquePeople(people, path);
    checkNoAncestryLoop(people, path);
    return people;
}

void checkNoAncestryLoop(const std::vector<Person>& people, const std::string& path) {
    const auto parents = findParents(people);
    // Depth-first through the parents: a person met again while his or her
    // own ancestors are being visited closes a loop.
    enum class State : std::uint8_t { unseen, visiting, done };
    std::vector<State> state(people.size(), State::unseen);
    std::vector<std::pair<std::int32_t, std::size_t>> stack;  // person, next parent to visit
    for (std::size_t start = 0; start < people.size(); ++start) {
        if (state[start] != State::unseen) continue;
        stack.push_back({static_cast<std::int32_t>(start), 0});
        state[start] = State::visiting;
        while (!stack.empty()) {
            auto& [person, next] = stack.back();
            if (next == 2) {
                state[static_cast<std::size_t>(person)] = State::done;
                stack.pop_back();
                continue;
            }
            const std::int32_t parent = parents[static_cast<std::size_t>(person)][next++];
            if (parent < 0 || state[static_cast<std::size_t>(parent)] == State::done) continue;
            if (state[static_cast<std::size_t>(parent)] == State::unseen) {
                state[static_cast<std::size_t>(parent)] = State::visiting;
                stack.push_back({parent, 0});
                continue;
            }
            // The loop: `parent` is a parent of the person on top of the
            // stack, each person there a parent of the one below, down to
            // `parent` again.
            const auto at =
                std::find_if(stack.begin(), stack.end(), [&](const auto& entry) { return entry.first == parent; });
            const Person& first = people[static_cast<std::size_t>(parent)];
            std::string chain = first.id;
            for (auto it = stack.end(); it != at;) {
                --it;
                chain += (it == stack.end() - 1 ? " is a parent of " : ", who is a parent of ") +
                         people[static_cast<std::size_t>(it->first)].id;
            }
            throw ImportError(path + ", line " + std::to_string(first.line) + ": family " + first.family +
                              " loops: " + chain + "; no one can be his or her own ancestor");
        }
    }
}

void checkUniquePeople(const std::vector<Person>& people, const std::string& path) {
    std::map<PersonKey, std::int64_t> seen;
    for (const Person& person : people) {
        const auto [at, added] = seen.emplace(PersonKey{person.family, person.id}, person.line);
        if (!added) {
            throw ImportError(path + ", line " + std::to_string(person.line) + ": person " + person.id + " of family " +
                              person.family + " is already on line " + std::to_string(at->second));
        }
    }
}

std::vector<bool> findMales(const std::vector<Person>& people) {
    std::vector<bool> males(people.size());
    const auto parents = findParents(people);
    for (std::size_t p = 0; p < people.size(); ++p) {
        if (people[p].sex == Sex::male) males[p] = true;
        if (parents[p][0] >= 0) males[static_cast<std::size_t>(parents[p][0])] = true;
    }
    return males;
}

TrioSearch findTrios(const std::vector<Person>& people, ChildChoice choice) {
    const auto index = indexPeople(people);
    const auto isChild = [](const Person& p) { return p.father != unknownParent || p.mother != unknownParent; };
    TrioSearch search;
    search.noAffectionStatus = std::none_of(people.begin(), people.end(), [&](const Person& p) {
        return isChild(p) && (p.phenotype == affected || p.phenotype == unaffected);
    });
    const bool affectedOnly = choice == ChildChoice::affected && !search.noAffectionStatus;
    for (std::size_t c = 0; c < people.size(); ++c) {
        const Person& child = people[c];
        if (child.column < 0 || !isChild(child)) continue;
        ++search.children;
        if (affectedOnly && child.phenotype != affected) {
            search.notAffected.push_back(static_cast<std::int32_t>(c));
            continue;
        }
        std::string reason;
        const auto findParent = [&](const std::string& name, const char* role) -> std::int32_t {
            const auto at = name == unknownParent ? index.end() : index.find(PersonKey{child.family, name});
            if (at != index.end() && people[static_cast<std::size_t>(at->second)].column >= 0) return at->second;
            if (!reason.empty()) reason += ", ";
            if (name == unknownParent) {
                reason += std::string("no ") + role + " is named";
            } else if (at != index.end()) {
                reason += std::string(role) + " " + name + " is not genotyped";
            } else if (const std::string others = otherFamilies(people, child.family, name); !others.empty()) {
                reason +=
                    std::string(role) + " " + name + " is not in family " + child.family + " but in family " + others;
            } else {
                reason += std::string(role) + " " + name + " is not in the pedigree";
            }
            return -1;
        };
        const std::int32_t father = findParent(child.father, "father");
        const std::int32_t mother = findParent(child.mother, "mother");
        if (father >= 0 && mother >= 0) {
            search.trios.push_back({father, mother, static_cast<std::int32_t>(c)});
        } else {
            search.unmatched.push_back({static_cast<std::int32_t>(c), reason});
        }
    }
    return search;
}

}  // namespace triotdt::import
