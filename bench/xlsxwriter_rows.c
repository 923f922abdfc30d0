/* The yardstick for the XLSX export: libxlsxwriter writing the same table to a file.
 *
 *   xlsxwriter_rows ROWS.tsv OUT.xlsx [--constant-memory]
 *
 * ROWS.tsv holds one sheet row a line, cells separated by tabs, each cell a type letter and
 * its value: s (text, with \t, \n, \r and \\ escaped), n (a number, shown with two decimals)
 * or d (a date's serial day number, shown in the short date format). Row 1 is frozen and the
 * columns are 22 wide, as in the export. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xlsxwriter.h>

static void unescape(char* text) {
  char* to = text;
  for (char* from = text; *from; ++from) {
    if (*from == '\\' && from[1]) {
      ++from;
      *to++ = *from == 't' ? '\t' : *from == 'n' ? '\n' : *from == 'r' ? '\r' : *from;
    } else {
      *to++ = *from;
    }
  }
  *to = '\0';
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s ROWS.tsv OUT.xlsx [--constant-memory]\n", argv[0]);
    return 2;
  }
  FILE* in = fopen(argv[1], "r");
  if (!in) {
    perror(argv[1]);
    return 1;
  }
  lxw_workbook_options options = {0};
  options.constant_memory = argc > 3 && strcmp(argv[3], "--constant-memory") == 0;
  lxw_workbook* workbook = workbook_new_opt(argv[2], &options);
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Vantry Report");
  lxw_format* number = workbook_add_format(workbook);
  format_set_num_format_index(number, 4);
  lxw_format* date = workbook_add_format(workbook);
  format_set_num_format_index(date, 14);
  worksheet_freeze_panes(sheet, 1, 0);
  worksheet_set_column(sheet, 0, 11, 22, NULL);

  char* line = NULL;
  size_t capacity = 0;
  ssize_t length;
  lxw_row_t row = 0;
  while ((length = getline(&line, &capacity, in)) > 0) {
    if (line[length - 1] == '\n') line[length - 1] = '\0';
    lxw_col_t column = 0;
    char* rest = line;
    for (char* cell = strsep(&rest, "\t"); cell; cell = strsep(&rest, "\t"), ++column) {
      if (!*cell) continue;
      char* value = cell + 1;
      if (cell[0] == 's') {
        unescape(value);
        worksheet_write_string(sheet, row, column, value, NULL);
      } else {
        worksheet_write_number(sheet, row, column, strtod(value, NULL), cell[0] == 'd' ? date : number);
      }
    }
    ++row;
  }
  free(line);
  fclose(in);
  return workbook_close(workbook) == LXW_NO_ERROR ? 0 : 1;
}
