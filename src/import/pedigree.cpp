#include "import/pedigree.h"

#include <algorithm>
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

}  // namespace

Person readPersonFields(const LineReader& reader) {
    const auto& fields = reader.fields();
    if (fields.size() < 6) {
        reader.fail(std::to_string(fields.size()) +
                    " fields; a pedigree line starts with six: family, person, father, mother, sex, phenotype");
    }
    Person person{std::string(fields[0]), std::string(fields[1]), std::string(fields[2]), std::string(fields[3]),
                  reader.lineNumber(), -1, std::string(fields[5])};
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
    return people;
}

void checkUniquePeople(const std::vector<Person>& people, const std::string& path) {
    std::map<PersonKey, std::int64_t> seen;
    for (const Person& person : people) {
        const auto [at, added] = seen.emplace(PersonKey{person.family, person.id}, person.line);
        if (!added) {
            throw ImportError(path + ", line " + std::to_string(person.line) + ": person " + person.id +
                              " of family " + person.family + " is already on line " + std::to_string(at->second));
        }
    }
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
            } else {
                reason += std::string(role) + " " + name +
                          (at == index.end() ? " is not in the pedigree" : " is not genotyped");
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
