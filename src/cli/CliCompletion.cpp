#include "cli/CliCompletion.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <sstream>
#include <vector>

namespace {

// What an option's value is completed with.
enum class ValueKind { None, File, Number, Choice, Text };

struct OptionFacts {
  std::vector<std::string> names;  // "-o", "--output"
  std::string help;
  ValueKind kind = ValueKind::None;
  std::vector<std::string> choices;
};

struct VerbFacts {
  std::string name, help;
  std::vector<OptionFacts> options;
  bool takesFiles = false;  // a positional FILE
};

// CLI11 writes a set of allowed values into the type name: "TEXT:{cbr,vbr}".
std::vector<std::string> ChoicesOf(const std::string& typeName) {
  const auto open = typeName.find('{'), close = typeName.find('}');
  std::vector<std::string> choices;
  if (open == std::string::npos || close == std::string::npos || close < open) return choices;
  std::istringstream list(typeName.substr(open + 1, close - open - 1));
  for (std::string item; std::getline(list, item, ',');) choices.push_back(item);
  return choices;
}

// A text value is a path when the option's help says it is a file or a
// folder (-o, --base, --out-dir, --log); times and suffixes are typed freely.
bool NamesAPath(std::string help) {
  for (char& c : help) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return help.find("file") != std::string::npos || help.find("folder") != std::string::npos;
}

OptionFacts FactsOf(const CLI::Option& option) {
  OptionFacts facts;
  for (const std::string& s : option.get_snames()) facts.names.push_back("-" + s);
  for (const std::string& l : option.get_lnames()) facts.names.push_back("--" + l);
  facts.help = option.get_description();
  if (option.get_items_expected_max() == 0) return facts;
  const std::string type = option.get_type_name();
  facts.choices = ChoicesOf(type);
  if (!facts.choices.empty())
    facts.kind = ValueKind::Choice;
  else if (type.find("INT") != std::string::npos || type.find("FLOAT") != std::string::npos)
    facts.kind = ValueKind::Number;
  else if (NamesAPath(facts.help))
    facts.kind = ValueKind::File;
  else
    facts.kind = ValueKind::Text;
  return facts;
}

std::vector<OptionFacts> OptionsOf(const CLI::App& app, bool* takesFiles) {
  std::vector<OptionFacts> options;
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_positional() && !option->nonpositional()) {
      if (takesFiles) *takesFiles = true;
      continue;
    }
    options.push_back(FactsOf(*option));
  }
  return options;
}

std::vector<VerbFacts> VerbsOf(const CLI::App& app) {
  std::vector<VerbFacts> verbs;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    VerbFacts verb{sub->get_name(), sub->get_description(), {}, false};
    verb.options = OptionsOf(*sub, &verb.takesFiles);
    verbs.push_back(std::move(verb));
  }
  return verbs;
}

std::string Joined(const std::vector<std::string>& words, const char* separator = " ") {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : separator) + w;
  return text;
}

// Quoted for the shells' single quotes.
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// fish's single quotes escape a quote and a backslash with a backslash.
std::string FishQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += (c == '\'' || c == '\\') ? std::string("\\") + c : std::string(1, c);
  return out + "'";
}

std::string AllNames(const std::vector<OptionFacts>& options) {
  std::vector<std::string> names;
  for (const OptionFacts& o : options) names.insert(names.end(), o.names.begin(), o.names.end());
  return Joined(names);
}

std::string Bash(const std::vector<OptionFacts>& global, const std::vector<VerbFacts>& verbs) {
  std::ostringstream s;
  std::vector<std::string> verbNames;
  for (const VerbFacts& v : verbs) verbNames.push_back(v.name);
  s << "# bash completion for kestrune-cli; generated from its option tables.\n"
       "_kestrune_cli() {\n"
       "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} verb= i\n"
       "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
       "    [[ ${COMP_WORDS[i]} != -* ]] && { verb=${COMP_WORDS[i]}; break; }\n"
       "  done\n"
       "  local options\n"
       "  case $verb in\n"
       "    '') COMPREPLY=($(compgen -W "
    << Quoted(Joined(verbNames) + " " + AllNames(global)) << " -- \"$cur\")); return ;;\n";
  for (const VerbFacts& v : verbs)
    s << "    " << v.name << ") options=" << Quoted(AllNames(v.options)) << " ;;\n";
  s << "    *) return ;;\n  esac\n  case $verb:$prev in\n";
  for (const VerbFacts& v : verbs)
    for (const OptionFacts& o : v.options) {
      if (o.kind == ValueKind::None) continue;
      std::vector<std::string> patterns;
      for (const std::string& n : o.names) patterns.push_back(v.name + ":" + n);
      s << "    " << Joined(patterns, "|") << ") ";
      if (o.kind == ValueKind::Choice)
        s << "COMPREPLY=($(compgen -W " << Quoted(Joined(o.choices)) << " -- \"$cur\")); return ;;\n";
      else if (o.kind == ValueKind::File)
        s << "compopt -o filenames; COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
      else
        s << "return ;;\n";
    }
  s << "  esac\n"
       "  if [[ $cur == -* ]]; then\n"
       "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
       "  else\n"
       "    compopt -o filenames; COMPREPLY=($(compgen -f -- \"$cur\"))\n"
       "  fi\n"
       "}\n"
       "complete -F _kestrune_cli kestrune-cli\n";
  return s.str();
}

// zsh's _arguments entry of one option.
std::string ZshSpec(const OptionFacts& o) {
  std::string help;
  for (char c : o.help)
    help += (c == '[' || c == ']' || c == ':' || c == '\\') ? std::string("\\") + c : std::string(1, c);
  std::string value;
  if (o.kind == ValueKind::Choice) value = ":value:(" + Joined(o.choices) + ")";
  if (o.kind == ValueKind::File) value = ":file:_files";
  if (o.kind == ValueKind::Number || o.kind == ValueKind::Text) value = ":value: ";
  std::string entry;
  for (const std::string& name : o.names) {
    if (!entry.empty()) entry += " ";
    entry += Quoted(name + "[" + help + "]" + value);
  }
  return entry;
}

std::string Zsh(const std::vector<OptionFacts>& global, const std::vector<VerbFacts>& verbs) {
  std::ostringstream s;
  s << "#compdef kestrune-cli\n# zsh completion for kestrune-cli; generated from its option tables.\n"
       "_kestrune_cli() {\n  local -a verbs\n  verbs=(\n";
  for (const VerbFacts& v : verbs) s << "    " << Quoted(v.name + ":" + v.help) << "\n";
  s << "  )\n  local state\n  _arguments -C";
  for (const OptionFacts& o : global) s << " " << ZshSpec(o);
  s << " '1:verb:->verb' '*::argument:->argument'\n"
       "  case $state in\n"
       "    verb) _describe verb verbs ;;\n"
       "    argument)\n      case $words[1] in\n";
  for (const VerbFacts& v : verbs) {
    s << "        " << v.name << ") _arguments";
    for (const OptionFacts& o : v.options) s << " " << ZshSpec(o);
    if (v.takesFiles) s << " '*:file:_files'";
    s << " ;;\n";
  }
  s << "      esac ;;\n  esac\n}\n_kestrune_cli \"$@\"\n";
  return s.str();
}

std::string Fish(const std::vector<OptionFacts>& global, const std::vector<VerbFacts>& verbs) {
  std::ostringstream s;
  s << "# fish completion for kestrune-cli; generated from its option tables.\n"
       "complete -c kestrune-cli -f\n";
  auto option = [&s](const OptionFacts& o, const std::string& condition) {
    s << "complete -c kestrune-cli -n " << FishQuoted(condition);
    for (const std::string& n : o.names)
      s << (n.rfind("--", 0) == 0 ? " -l " + n.substr(2) : " -s " + n.substr(1));
    if (o.kind == ValueKind::Choice) s << " -x -a " << FishQuoted(Joined(o.choices));
    if (o.kind == ValueKind::File) s << " -r -F";
    if (o.kind == ValueKind::Number || o.kind == ValueKind::Text) s << " -x";
    s << " -d " << FishQuoted(o.help) << "\n";
  };
  for (const OptionFacts& o : global) option(o, "__fish_use_subcommand");
  for (const VerbFacts& v : verbs) {
    s << "complete -c kestrune-cli -n __fish_use_subcommand -a " << v.name << " -d " << FishQuoted(v.help)
      << "\n";
    const std::string condition = "__fish_seen_subcommand_from " + v.name;
    if (v.takesFiles) s << "complete -c kestrune-cli -n " << FishQuoted(condition) << " -F\n";
    for (const OptionFacts& o : v.options) option(o, condition);
  }
  return s.str();
}

}  // namespace

std::optional<std::string> CompletionScript(const CLI::App& app, const std::string& shell) {
  const std::vector<OptionFacts> global = OptionsOf(app, nullptr);
  const std::vector<VerbFacts> verbs = VerbsOf(app);
  if (shell == "bash") return Bash(global, verbs);
  if (shell == "zsh") return Zsh(global, verbs);
  if (shell == "fish") return Fish(global, verbs);
  return std::nullopt;
}
