/* Grammar of the arithmetic expressions in printer code strings ($${...}).
   The parser only computes the number; formatting it is left to expr.cc. */
%require "3.0"
%define api.pure full
%define api.prefix {expr}
%define api.token.prefix {TOK_}
%define api.value.type {double}
%parse-param {double* value} {void* scanner}
%lex-param {void* scanner}

%code requires {
/* The parse stack starts with 200 entries and doubles up to 10000; beyond that
   the parse ends with "memory exhausted". */
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000
}

%code {
#include "jobshaper/expr_internal.h"

int exprlex(EXPRSTYPE* lvalp, void* scanner);

static void exprerror(double*, void*, const char* message) { expr_report(message); }
}

%token NUMBER NAME

%left '+' '-'
%left '*' '/'
%precedence UMINUS

%%

statement:
    expression                  { *value = $1; }
  ;

expression:
    expression '+' expression   { $$ = $1 + $3; }
  | expression '-' expression   { $$ = $1 - $3; }
  | expression '*' expression   { $$ = $1 * $3; }
  | expression '/' expression   {
                                  if ($3 == 0.0) {
                                    expr_report("divide by zero");
                                    $$ = $1;
                                  } else {
                                    $$ = $1 / $3;
                                  }
                                }
  | '-' expression %prec UMINUS { $$ = -$2; }
  | '(' expression ')'          { $$ = $2; }
  | NUMBER
  | NAME
  ;

%%
