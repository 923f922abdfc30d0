# The completion engine shared by the bash, zsh and fish completions of vantry. It is POSIX
# sh, embedded into the script of each shell at build time and run as
#   sh -c ENGINE vantry-complete VANTRY CURRENT WORD...
# where VANTRY is the command being completed, CURRENT the word under the cursor and the
# WORDs those before it (without the command). It prints the candidates, one per line, or
# "@files" / "@dirs" when the shell should complete paths. Job names and tags come from the
# running app through vantry with its shortest timeout; an answer is kept for a short while so
# that each Tab does not send a request, and nothing is printed when no app answers.
# This text must hold no single quote: the shells embed it in single quotes.

cache_seconds=30

commands="jobs timer entries preferences tags filters reports export import app ui cloud notifications location backups command capabilities doctor docs help"

operations() {
  case $1 in
    jobs) echo "list show create update archive copy" ;;
    timer) echo "status clock-in clock-out break resume" ;;
    entries) echo "list show create update copy delete" ;;
    preferences) echo "get set" ;;
    tags) echo "list rename merge remove" ;;
    filters) echo "list create update delete" ;;
    reports) echo "summary daily payperiod pay-period print" ;;
    export) echo "json csv xlsx txt text" ;;
    import) echo "preview apply" ;;
    app) echo "status show settings help data-folder lock unlock" ;;
    ui) echo "navigate edit-job edit-entry dismiss" ;;
    cloud) echo "status enable disable sync" ;;
    notifications) echo "status request" ;;
    location) echo "status start stop" ;;
    backups) echo "list preview restore" ;;
    command) echo "capabilities jobs.list jobs.show jobs.create jobs.update jobs.archive jobs.copy timer.status timer.clock-in timer.clock-out timer.break timer.resume entries.list entries.show entries.create entries.update entries.copy entries.delete preferences.get preferences.set tags.list tags.rename tags.merge tags.remove filters.list filters.create filters.update filters.delete reports.summary reports.daily reports.payperiod export import.preview import.apply app.status app.show app.settings app.help app.data-folder app.lock app.unlock ui.navigate ui.edit-job ui.edit-entry ui.dismiss reports.print cloud.status cloud.enable cloud.disable cloud.sync notifications.status notifications.request location.status location.start location.stop backups.list backups.preview backups.restore" ;;
  esac
}

job_fields="--name --color --rate --currency --withholding --mileage-rate --daily-overtime --daily-double-time --weekly-overtime --overtime-multiplier --double-time-multiplier --rounding --rounding-minutes --auto-break-after-hours --auto-break-minutes --target-hours --schedule --pay-anchor --archived --notes --latitude --longitude --location-radius --location-mode"
entry_fields="--job-id --start --end --pauses --break-minutes --time-adjustment-minutes --rate --tips --miles --adjustment --adjustment-taxable --comment --tags --source"
preference_fields="--multiple-timers --decimal-hours --week-starts-on --time-zone --lock-on-launch --reminders-enabled --reminder-hour --reminder-minute --reminder-weekdays"
filter_fields="--name --query --tag --job-id --range --from --through"
selection="--job --from --through --query --tag --range"
patch="--patch --patch-file"
globals="--json --dry-run --data-dir --request-id --timeout --args-file"

# The options of one command, named by its first two words.
options() {
  case "$1 $2" in
    "jobs list") echo "--archived --query --limit --offset" ;;
    "jobs create") echo "$job_fields $patch" ;;
    "jobs update") echo "$job_fields $patch --if-match" ;;
    "jobs archive") echo "--archived --if-match" ;;
    "jobs copy") echo "--name --if-match" ;;
    "timer status") echo "--job" ;;
    "timer clock-out" | "timer resume") echo "--entry --if-match" ;;
    "timer break") echo "--entry --paid --kind --if-match" ;;
    "entries list") echo "$selection --running --limit --offset" ;;
    "entries create") echo "--job $entry_fields --running $patch" ;;
    "entries update") echo "--job $entry_fields --running $patch --if-match" ;;
    "entries copy" | "entries delete") echo "--if-match" ;;
    "preferences set") echo "$preference_fields $patch --if-match" ;;
    "tags list" | "filters list") echo "--limit --offset" ;;
    "filters create") echo "$filter_fields $patch" ;;
    "filters update") echo "$filter_fields $patch --if-match" ;;
    "filters delete") echo "--if-match" ;;
    reports\ *) echo "$selection --at" ;;
    export\ *) echo "$selection --at --format --out" ;;
    "import preview") echo "--format --content" ;;
    "import apply") echo "--format --content --preview" ;;
    "ui navigate") echo "--id" ;;
    "backups restore") echo "--preview" ;;
    "docs "*) echo "--website-url" ;;
  esac
}

# The values of one option of a command; a word starting with @ is a kind for the caller.
option_values() {
  case $3 in
    --archived | --running | --paid | --adjustment-taxable | --multiple-timers | --decimal-hours | \
      --lock-on-launch | --reminders-enabled) echo "true false" ;;
    --range)
      if [ "$1" = filters ]; then echo "@saved-ranges"; else echo "all today week month year pay-period"; fi ;;
    --format)
      if [ "$1" = import ]; then echo "json csv"; else echo "json csv xlsx txt text"; fi ;;
    --rounding) echo "None Nearest Up Down" ;;
    --schedule) echo "@schedules" ;;
    --location-mode) echo "Off Remind Automatic" ;;
    --week-starts-on) echo "1 2 3 4 5 6 7" ;;
    --job) echo "@jobs" ;;
    --tag) echo "@tags" ;;
    --data-dir) echo "@dirs" ;;
    --out | --patch-file | --args-file) echo "@files" ;;
  esac
}

flag() {
  case $1 in --json | --dry-run | --help | --version) return 0 ;; esac
  return 1
}

# Job names or tags from the app, through vantry; a fresh cached answer is reused.
fetch() {
  kind=$1
  folder=${data_dir:-${VANTRY_DATA_DIR-${PELLAM_DESKTOP_DATA_DIR-}}}
  key=$(printf "%s" "$folder" | cksum | cut -d " " -f 1)
  cache_dir=${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}}
  cache="$cache_dir/vantry-completion-$(id -u)-$kind-$key"
  now=$(date +%s)
  if [ -f "$cache" ] && [ -O "$cache" ] && [ ! -L "$cache" ]; then
    stamp=$(head -n 1 "$cache")
    case $stamp in
      "" | *[!0-9]*) ;;
      *) if [ $((now - stamp)) -lt "$cache_seconds" ] && [ "$stamp" -le "$now" ]; then
           tail -n +2 "$cache"
           return
         fi ;;
    esac
  fi
  set -- --json --timeout 1
  [ -n "$data_dir" ] && set -- "$@" --data-dir "$data_dir"
  if [ "$kind" = jobs ]; then
    answer=$("$vantry" "$@" jobs list --limit 1000 2>/dev/null) || return 0
    values=$(printf "%s\n" "$answer" | grep -o -E "\"name\":\"([^\"\\\\]|\\\\.)*\"" |
      sed -e "s/^\"name\":\"//" -e "s/\"$//")
  else
    answer=$("$vantry" "$@" tags list --limit 1000 2>/dev/null) || return 0
    values=$(printf "%s\n" "$answer" | sed -e "s/^.*\"items\":\[//" -e "s/\],\"limit\":.*$//" |
      grep -o -E "\"([^\"\\\\]|\\\\.)*\"" | sed -e "s/^\"//" -e "s/\"$//")
  fi
  values=$(printf "%s\n" "$values" | sed -e "s/\\\\\"/\"/g" -e "s/\\\\\\\\/\\\\/g")
  printf "%s\n" "$values"
  umask 077
  temporary="$cache.$$"
  if { echo "$now"; printf "%s\n" "$values"; } >"$temporary" 2>/dev/null; then
    mv -f "$temporary" "$cache" 2>/dev/null || rm -f "$temporary"
  fi
}

print_words() {
  for word in $*; do
    case $word in
      @jobs) fetch jobs ;;
      @tags) fetch tags ;;
      @saved-ranges) printf "%s\n" "Today" "This week" "This month" "This year" "Pay period" "All time" "Custom" ;;
      @schedules) printf "%s\n" "Weekly" "Every two weeks" "Twice a month" "Monthly" ;;
      *) echo "$word" ;;
    esac
  done
}

vantry=$1
current=$2
shift 2
command -v "$vantry" >/dev/null 2>&1 || vantry=vantry

# The words before the cursor: positional words, and the option waiting for its value.
first="" second="" operands=0 pending="" data_dir=""
for word in "$@"; do
  if [ -n "$pending" ]; then
    [ "$pending" = --data-dir ] && data_dir=$word
    pending=""
    continue
  fi
  case $word in
    --data-dir=*) data_dir=${word#--data-dir=} ;;
    --*=*) ;;
    --*) flag "$word" || pending=$word ;;
    *)
      if [ -z "$first" ]; then first=$word
      elif [ -z "$second" ]; then second=$word
      else operands=$((operands + 1))
      fi ;;
  esac
done

if [ -n "$pending" ]; then
  print_words "$(option_values "$first" "$second" "$pending")"
  exit 0
fi
case $current in
  --*=*)
    name=${current%%=*}
    print_words "$(option_values "$first" "$second" "$name")" | sed "s/^/$name=/"
    exit 0 ;;
  --*)
    if [ -z "$first" ]; then
      print_words "--json --data-dir --help --version"
    else
      print_words "$(options "$first" "$second") $globals"
    fi
    exit 0 ;;
esac
if [ -z "$first" ]; then
  print_words "$commands"
elif [ -z "$second" ]; then
  print_words "$(operations "$first")"
elif [ "$operands" -eq 0 ]; then
  case "$first $second" in
    "jobs show" | "jobs update" | "jobs archive" | "jobs copy" | "timer clock-in") print_words "@jobs" ;;
    "tags rename" | "tags merge" | "tags remove") print_words "@tags" ;;
    "import preview" | "import apply") echo "@files" ;;
  esac
elif [ "$operands" -eq 1 ] && [ "$first $second" = "tags merge" ]; then
  print_words "@tags"
fi
exit 0
