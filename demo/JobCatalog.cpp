#include "demo/JobCatalog.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <tuple>

namespace tessaly::demo {

namespace {

// A small, portable generator: the standard distributions may differ between libraries,
// and the demo must look the same everywhere.
class TSplitMix {
  public:
    explicit TSplitMix(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }

  private:
    uint64_t state_;
};

struct TTitle {
    const char* en;
    const char* fr;
};

struct TCategoryPool {
    const char* name;
    std::vector<TTitle> titles;
    std::vector<const char*> duties;
    std::vector<const char*> skills;
    int salaryLow;  // thousands of dollars
};

const std::vector<TCategoryPool>& Pools() {
    static const std::vector<TCategoryPool> pools = {
        {"Accounting",
         {{"Staff Accountant", "Comptable"},
          {"Senior Accountant", "Comptable principal"},
          {"Payroll Specialist", "Gestionnaire de paie"},
          {"Financial Analyst", "Analyste financier"},
          {"Accounts Payable Clerk", "Commis aux comptes fournisseurs"},
          {"Tax Manager", "Responsable fiscal"},
          {"Controller", "Contr\xf4leur de gestion"},
          {"Internal Auditor", "Auditeur interne"}},
         {"You will prepare the monthly close and the quarterly reports.",
          "You will reconcile the general ledger and the bank accounts.",
          "You will work with our outside auditors during the year-end audit.",
          "You will keep the fixed asset register and the depreciation schedules."},
         {"CPA or CPA candidate", "Lotus 1-2-3 and Excel", "general ledger experience",
          "payroll tax filings", "three years of public accounting", "SAP R/3 financials"},
         32},
        {"Administration",
         {{"Office Manager", "Chef de bureau"},
          {"Administrative Assistant", "Assistant administratif"},
          {"Executive Secretary", "Secr\xe9taire de direction"},
          {"Receptionist", "R\xe9\x63\x65ptionniste"},
          {"Data Entry Clerk", "Op\xe9rateur de saisie"},
          {"Human Resources Coordinator", "Coordonnateur des ressources humaines"},
          {"Records Manager", "Responsable des archives"},
          {"Office Clerk", "Employ\xe9 de bureau"}},
         {"You will greet visitors and answer a busy switchboard.",
          "You will keep the calendars of three senior managers.",
          "You will order supplies and look after the office equipment.",
          "You will type correspondence and keep the filing in order."},
         {"typing 60 words per minute", "WordPerfect and Microsoft Word", "a friendly phone manner",
          "bilingual English and French", "two years of office experience", "Microsoft Access"},
         21},
        {"Education",
         {{"Elementary School Teacher", "Enseignant au primaire"},
          {"High School Math Teacher", "Professeur de math\xe9matiques"},
          {"School Librarian", "Biblioth\xe9\x63\x61ire scolaire"},
          {"Teaching Assistant", "Assistant d'enseignement"},
          {"Guidance Counselor", "Conseiller d'orientation"},
          {"French Teacher", "Professeur de fran\xe7\x61is"},
          {"Special Education Teacher", "Enseignant en adaptation scolaire"},
          {"Training Coordinator", "Coordonnateur de formation"}},
         {"You will plan lessons and assess the progress of each pupil.",
          "You will work with parents and with the school's support staff.",
          "You will take part in the curriculum committee.",
          "You will supervise after-school activities twice a week."},
         {"state teaching certificate", "a master's degree in education", "classroom experience",
          "bilingual English and French", "experience with computers in the classroom",
          "first aid certificate"},
         26},
        {"Engineering",
         {{"Mechanical Engineer", "Ing\xe9nieur m\xe9\x63\x61nique"},
          {"Civil Engineer", "Ing\xe9nieur civil"},
          {"Electrical Engineer", "Ing\xe9nieur \xe9lectricien"},
          {"Chemical Engineer", "Ing\xe9nieur chimiste"},
          {"Quality Engineer", "Ing\xe9nieur qualit\xe9"},
          {"Process Engineer", "Ing\xe9nieur proc\xe9\x64\xe9s"},
          {"Project Engineer", "Ing\xe9nieur de projet"},
          {"Drafting Technician", "Technicien dessinateur"}},
         {"You will design and test new products with a small team.",
          "You will prepare drawings and technical plans for our plants.",
          "You will lead design reviews and follow projects to completion.",
          "You will improve manufacturing processes and reduce scrap."},
         {"BSME or BSEE degree", "AutoCAD", "ISO 9000 experience", "professional engineer license",
          "five years of design experience", "finite element analysis"},
         45},
        {"Healthcare",
         {{"Registered Nurse", "Infirmier autoris\xe9"},
          {"Nurse Manager", "Infirmier chef"},
          {"Physical Therapist", "Physioth\xe9rapeute"},
          {"Pharmacist", "Pharmacien"},
          {"Medical Assistant", "Assistant m\xe9\x64ical"},
          {"Radiology Technician", "Technicien en radiologie"},
          {"Home Health Aide", "Aide \xe0 domicile"},
          {"Dental Hygienist", "Hygi\xe9niste dentaire"}},
         {"You will care for patients on a busy medical and surgical floor.",
          "You will work rotating shifts, every third weekend.",
          "You will keep patient charts and work with the attending physicians.",
          "You will train new staff and students on placement."},
         {"current state license", "CPR certification", "two years of hospital experience",
          "critical care experience", "bilingual English and Spanish", "home care experience"},
         30},
        {"Hospitality",
         {{"Front Desk Clerk", "R\xe9\x63\x65ptionniste d'h\xf4tel"},
          {"Restaurant Manager", "G\xe9rant de restaurant"},
          {"Executive Chef", "Chef de cuisine"},
          {"Banquet Server", "Serveur de banquet"},
          {"Catering Manager", "Responsable traiteur"},
          {"Housekeeping Supervisor", "Gouvernant"},
          {"Bartender", "Barman"},
          {"Concierge", "Concierge"}},
         {"You will welcome guests and make every stay a pleasant one.",
          "You will schedule staff and control food and labor costs.",
          "You will work evenings, weekends and holidays.",
          "You will plan banquets and weddings with our sales team."},
         {"two years of hotel experience", "culinary degree", "a second language",
          "food safety certificate", "wine knowledge", "flexible hours"},
         18},
        {"Information Technology",
         {{"Software Engineer", "Ing\xe9nieur logiciel"},
          {"Systems Administrator", "Administrateur syst\xe8mes"},
          {"Network Engineer", "Ing\xe9nieur r\xe9seau"},
          {"Database Administrator", "Administrateur de bases de donn\xe9\x65s"},
          {"Web Developer", "D\xe9veloppeur web"},
          {"Help Desk Technician", "Technicien de soutien"},
          {"C++ Programmer", "Programmeur C++"},
          {"Year 2000 Project Manager", "Chef de projet an 2000"}},
         {"You will build client/server applications for our trading desks.",
          "You will look after a network of 300 Windows NT workstations.",
          "You will take part in our Year 2000 conversion project.",
          "You will design web pages and CGI scripts for our intranet."},
         {"C++ and object-oriented design", "Unix and Windows NT", "Oracle or Sybase SQL",
          "Java and HTML", "Novell NetWare", "Visual Basic"},
         48},
        {"Sales",
         {{"Sales Representative", "Repr\xe9sentant commercial"},
          {"Account Manager", "Charg\xe9 de client\xe8le"},
          {"Retail Store Manager", "G\xe9rant de magasin"},
          {"Inside Sales Associate", "Vendeur s\xe9\x64\x65ntaire"},
          {"Regional Sales Director", "Directeur commercial r\xe9gional"},
          {"Telemarketing Representative", "T\xe9l\xe9vendeur"},
          {"Marketing Coordinator", "Coordonnateur marketing"},
          {"Customer Service Representative", "Pr\xe9pos\xe9 au service \xe0 la client\xe8le"}},
         {"You will call on new and existing customers in your territory.",
          "You will meet a monthly quota with the help of our inside team.",
          "You will prepare proposals and present them to buyers.",
          "You will travel about two days a week."},
         {"proven sales record", "a valid driver's license", "college degree", "computer literacy",
          "industry contacts", "excellent communication skills"},
         28},
    };
    return pools;
}

struct TCity {
    const char* city;
    const char* state;
    const char* region;
};

const std::vector<TCity>& Cities() {
    static const std::vector<TCity> cities = {
        {"San Francisco", "CA", "California"},
        {"Los Angeles", "CA", "California"},
        {"San Diego", "CA", "California"},
        {"Sacramento", "CA", "California"},
        {"Atlanta", "GA", "Georgia"},
        {"Savannah", "GA", "Georgia"},
        {"Augusta", "GA", "Georgia"},
        {"Macon", "GA", "Georgia"},
        {"Chicago", "IL", "Illinois"},
        {"Naperville", "IL", "Illinois"},
        {"Peoria", "IL", "Illinois"},
        {"Springfield", "IL", "Illinois"},
        {"Boston", "MA", "Massachusetts"},
        {"Cambridge", "MA", "Massachusetts"},
        {"Worcester", "MA", "Massachusetts"},
        {"Lowell", "MA", "Massachusetts"},
        {"New York", "NY", "New York"},
        {"Buffalo", "NY", "New York"},
        {"Rochester", "NY", "New York"},
        {"Albany", "NY", "New York"},
        {"Austin", "TX", "Texas"},
        {"Houston", "TX", "Texas"},
        {"Dallas", "TX", "Texas"},
        {"San Antonio", "TX", "Texas"},
        {"Seattle", "WA", "Washington"},
        {"Spokane", "WA", "Washington"},
        {"Tacoma", "WA", "Washington"},
        {"Redmond", "WA", "Washington"},
    };
    return cities;
}

const std::vector<const char*>& Companies() {
    static const std::vector<const char*> companies = {
        "Northwind Traders",
        "Bluestone Partners",
        "Cedar Ridge Medical Center",
        "Harborview Hotels",
        "Pinecrest Academy",
        "Summit Ridge Engineering",
        "Lakeshore Financial",
        "Meridian Systems",
        "Granite State Logistics",
        "Oakmont Consulting",
        "Riverbend Foods",
        "Silverline Software",
        "Copperfield & Sons",
        "Brightwater Health",
        "Evergreen Data Services",
        "Ironwood Manufacturing",
        "Maple Leaf Publishing",
        "Redstone Analytics",
        "Sterling, Hale & Co.",
        "Whitfield Group",
        "Crescent Bay Resorts",
        "Foxglove Laboratories",
        "Hollis-Brandt Inc.",
        "Kestrel Aviation",
        "Larkspur School District",
        "Mariner Savings Bank",
        "Nettle & Finch",
        "Orchard Valley Clinic",
        "Quarry Hill Builders",
        "Rosewood Retail",
        "Tamarack Electric",
        "Upland Chemical",
        "Vantage Point Marketing",
        "Wexford Insurance",
        "Yellowbirch Press",
        "Zephyr Telecom",
        "Alder & Pike",
        "Beacon Street Dental",
        "Caldwell-Moreau Lt\xe9\x65",
        "Dumont et Fils",
        "O'Leary Brothers",
        "Laurentide Services",
    };
    return companies;
}

struct TBoardPlan {
    TBoard board;
    int count;
    std::vector<std::string> regions;     // empty: all
    std::vector<std::string> categories;  // empty: all
};

const std::vector<TBoardPlan>& Plans() {
    static const std::vector<TBoardPlan> plans = {
        {TBoard::CareerHub, 240, {}, {}},
        {TBoard::JobFair, 160, {}, {}},
        {TBoard::MetroJobs, 160, {}, {}},
        {TBoard::Emploi, 80, {"Massachusetts", "New York"}, {}},
        {TBoard::TechPost, 120, {}, {"Engineering", "Information Technology"}},
        {TBoard::SlowBoard, 40, {}, {}},
        {TBoard::Harbor, 20, {}, {}},
    };
    return plans;
}

std::string PostedDate(int daysAgo) {
    using namespace std::chrono;
    const sys_days day = sys_days{year{1998} / November / 16} - days{daysAgo};
    const year_month_day ymd{day};
    auto two = [](unsigned v) {
        return std::string(1, char('0' + v / 10 % 10)) + char('0' + v % 10);
    };
    return two(static_cast<unsigned>(ymd.month())) + "/" + two(static_cast<unsigned>(ymd.day())) +
           "/" + two(static_cast<unsigned>(static_cast<int>(ymd.year()) % 100));
}

std::string Thousands(int k) {
    return "$" + IntToStr(k) + ",000";
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
    return Pos(UpperCase(needle), UpperCase(haystack)) > 0;
}

}  // namespace

const TStrings& MasterRegions() {
    static const TStrings regions = {"Nationwide",    "California", "Georgia", "Illinois",
                                     "Massachusetts", "New York",   "Texas",   "Washington"};
    return regions;
}

const TStrings& MasterCategories() {
    static TStrings categories = [] {
        TStrings c;
        for (const auto& p : Pools())
            c.push_back(p.name);
        return c;
    }();
    return categories;
}

TStrings KeywordWords(std::string_view text) {
    TStrings words;
    std::string w;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '+' || c == '\t') {
            if (!w.empty()) words.push_back(std::move(w));
            w.clear();
        } else {
            w += c;
        }
    }
    if (!w.empty()) words.push_back(std::move(w));
    return words;
}

TJobCatalog::TJobCatalog(uint64_t seed) {
    TSplitMix rng(seed);
    std::set<std::tuple<std::string, std::string, std::string>> seen;
    int nextId = 1001;
    for (const TBoardPlan& plan : Plans()) {
        std::vector<const TCategoryPool*> pools;
        for (const auto& p : Pools())
            if (plan.categories.empty() || std::find(plan.categories.begin(), plan.categories.end(),
                                                     std::string(p.name)) != plan.categories.end())
                pools.push_back(&p);
        std::vector<const TCity*> cities;
        for (const auto& c : Cities())
            if (plan.regions.empty() || std::find(plan.regions.begin(), plan.regions.end(),
                                                  std::string(c.region)) != plan.regions.end())
                cities.push_back(&c);
        int made = 0;
        while (made < plan.count) {
            // Categories take turns so that every category has jobs on every board.
            const TCategoryPool& pool = *pools[static_cast<size_t>(made) % pools.size()];
            const TTitle& title = pool.titles[rng.Below(pool.titles.size())];
            const char* company = Companies()[rng.Below(Companies().size())];
            const TCity& city = *cities[rng.Below(cities.size())];
            // The same posting twice on one board would merge away; across boards it is
            // what real boards do, but the demo keeps every job distinct.
            if (!seen.emplace(title.en, company, city.city).second) continue;
            TDemoJob j;
            j.Id = nextId++;
            j.Board = plan.board;
            j.Title = title.en;
            j.TitleFr = title.fr;
            j.Company = company;
            j.City = city.city;
            j.State = city.state;
            j.Region = city.region;
            j.Category = pool.name;
            j.Posted = PostedDate(static_cast<int>(rng.Below(28)));
            const int low = pool.salaryLow + static_cast<int>(rng.Below(15));
            j.Salary =
                Thousands(low) + " - " + Thousands(low + 5 + static_cast<int>(rng.Below(10)));
            std::vector<size_t> duty(pool.duties.size());
            for (size_t i = 0; i < duty.size(); ++i)
                duty[i] = i;
            for (size_t i = 0; i < 2; ++i) {
                std::swap(duty[i], duty[i + rng.Below(duty.size() - i)]);
                j.Duties.push_back(pool.duties[duty[i]]);
            }
            std::vector<size_t> skill(pool.skills.size());
            for (size_t i = 0; i < skill.size(); ++i)
                skill[i] = i;
            for (size_t i = 0; i < 3; ++i) {
                std::swap(skill[i], skill[i + rng.Below(skill.size() - i)]);
                j.Skills.push_back(pool.skills[skill[i]]);
            }
            jobs_.push_back(std::move(j));
            ++made;
        }
    }
}

const TDemoJob* TJobCatalog::ById(int id) const {
    // Ids are handed out in order from 1001 without gaps.
    const long i = static_cast<long>(id) - 1001;
    if (i < 0 || i >= static_cast<long>(jobs_.size())) return nullptr;
    return &jobs_[static_cast<size_t>(i)];
}

std::vector<const TDemoJob*> TJobCatalog::OfBoard(TBoard board) const {
    std::vector<const TDemoJob*> out;
    for (const TDemoJob& j : jobs_)
        if (j.Board == board) out.push_back(&j);
    return out;
}

std::vector<const TDemoJob*> TJobCatalog::Find(TBoard board, const TStrings& keywords,
                                               std::string_view region,
                                               std::string_view category) const {
    std::vector<const TDemoJob*> out;
    const bool anyRegion = region.empty() || region == "Nationwide";
    for (const TDemoJob* j : OfBoard(board)) {
        if (!anyRegion && j->Region != region) continue;
        if (!category.empty() && j->Category != category) continue;
        // Not the category: it was asked for already, and "Engineering" would make every
        // job of it match "engineer".
        const std::string text =
            j->Title + " " + j->TitleFr + " " + j->Company + " " + Join(j->Skills, " ");
        bool all = true;
        for (const std::string& k : keywords)
            for (const std::string& w : KeywordWords(k))
                if (!ContainsNoCase(text, w)) all = false;
        if (all) out.push_back(j);
    }
    return out;
}

}  // namespace tessaly::demo
