# analyse() on a data frame gives what `locprox analyse` gives on the same
# table, and read_proximity() of the program's proximity file gives the same
# object. The program is found through LOCPROX_PROGRAM; without it, the
# comparisons with the command line are skipped.
program <- Sys.getenv("LOCPROX_PROGRAM")

# `locprox analyse` on a table: its folder and what it printed.
command_line_run <- function(table, args) {
  folder <- tempfile("cli")
  printed <- system2(program, c("analyse", table, "--out", folder, "--job", "data",
                                "--title", "data", args), stdout = TRUE, stderr = FALSE)
  expect_null(attr(printed, "status"))
  list(folder = folder, printed = printed)
}

read_table <- function(folder, ending, ...) {
  read.csv(file.path(folder, paste0("data", ending)), stringsAsFactors = FALSE,
           check.names = FALSE, ...)
}

# The averages as the CSV files give them: 9 significant digits.
as_written <- function(x) {
  written <- rep(NA_real_, length(x))
  written[!is.na(x)] <- as.numeric(sprintf("%.9g", x[!is.na(x)]))
  written
}

# Two partitions of the same locations are the same, whatever their numbers.
same_partition <- function(a, b) {
  length(a) == length(b) && length(unique(a)) == length(unique(b)) &&
    nrow(unique(cbind(a, b))) == length(unique(a))
}

cases <- list(
  list(file = "small.csv", measure = "centred", args = c("--distance", "centred"), k = 2,
       count = "entries_in_common"),
  list(file = "small.csv", measure = "plain", args = c("--correlation", "plain", "--unweighted"),
       weighted = FALSE, k = 2, count = "years_compared"),
  list(file = "variety_trial.csv", measure = "fisher-z", args = character(), k = 3),
  list(file = "variety_trial.csv", measure = "standardised",
       args = c("--distance", "standardised"), k = 4, count = "entries_in_common")
)

for (case in cases) {
  test_that(paste("analyse() and read_proximity() equal the command line:", case$file,
                  case$measure), {
    data <- read.csv(test_path(case$file), stringsAsFactors = FALSE)
    weighted <- if (is.null(case$weighted)) TRUE else case$weighted
    result <- analyse(data, location = "site", entry = "variety", value = "yield",
                      measure = case$measure, weighted = weighted, groups = case$k)
    expect_s3_class(result, "locprox")
    expect_s3_class(result$tree, "hclust")
    expect_identical(as.data.frame(result), result$pairs)
    expect_identical(rownames(result$matrix), result$names)
    expect_identical(result$tree$labels, result$names)
    expect_true(same_partition(cutree(result$tree, case$k), result$groups))
    expect_identical(names(result$groups), result$names)
    # The averages are full doubles: the sum over its count, not a rounded text.
    if (!is.null(case$count)) {
      compared <- !is.na(result$pairs$average)
      expect_true(any(compared))
      expect_identical(result$pairs$average[compared],
                       (result$pairs$sum / result$pairs[[case$count]])[compared])
    }

    skip_if(program == "", "LOCPROX_PROGRAM not set")
    cli <- command_line_run(test_path(case$file),
                            c("--location", "site", "--entry", "variety", "--value", "yield",
                              "--groups", case$k, case$args))
    matrix_table <- read_table(cli$folder, ".matrix.csv", row.names = 1)
    expect_identical(result$names, rownames(matrix_table))
    expect_identical(as_written(result$matrix), as.numeric(as.matrix(matrix_table)))

    pairs <- read_table(cli$folder, ".pairs.csv")
    expect_identical(names(result$pairs), names(pairs))
    expect_identical(result$pairs$sum, pairs$sum)
    expect_identical(as_written(result$pairs$average), pairs$average)
    for (column in c("location_i", "name_i", "location_j", "name_j", "entries_in_common",
                     "years_compared", "heterogeneity_df")) {
      expect_identical(result$pairs[[column]], as.vector(pairs[[column]], typeof(result$pairs[[column]])),
                       label = column)
    }
    for (column in c("ci_low", "ci_high", "heterogeneity_q", "heterogeneity_p", "sd_years")) {
      expect_identical(as_written(result$pairs[[column]]), as.numeric(pairs[[column]]),
                       label = column)
    }
    stability <- file.path(cli$folder, "data.stability.csv")
    if (file.exists(stability)) {
      expect_identical(result$stability, read.csv(stability, stringsAsFactors = FALSE,
                                                  check.names = FALSE))
    }

    tree <- read_table(cli$folder, ".tree.csv")
    expect_identical(result$tree$merge, unname(cbind(tree$merge1, tree$merge2)))
    expect_identical(as_written(result$tree$height), as.numeric(tree$height))

    years <- read_table(cli$folder, ".years.csv")
    expect_identical(result$years$year_number, years$year_number)
    expect_identical(as.character(result$years$year), as.character(years$year))
    expect_identical(as_written(result$years$value), years$value)

    # --groups K prints each group's locations ("  group 2 (3): 1 A, 4 D, 7"): the
    # same groups, numbered the same, as the object's and as the cut tree's.
    for (g in seq_len(case$k)) {
      line <- grep(paste0("^  group ", g, " \\("), cli$printed, value = TRUE)
      expect_length(line, 1)
      members <- strsplit(sub("^[^:]*: ", "", line), ", ", fixed = TRUE)[[1]]
      numbers <- as.integer(sub(" .*", "", members))
      expect_identical(sort(numbers), unname(which(result$groups == g)))
    }

    read_back <- read_proximity(file.path(cli$folder, "data.PRX"), groups = case$k)
    for (part in c("pairs", "matrix", "tree", "names", "years", "groups", "stability")) {
      expect_identical(read_back[[part]], result[[part]], label = part)
    }
  })
}

test_that("out = writes every file the command line writes, byte for byte", {
  skip_if(program == "", "LOCPROX_PROGRAM not set")
  data <- read.csv(test_path("variety_trial.csv"), stringsAsFactors = FALSE)
  folder <- tempfile("r")
  result <- analyse(data, location = "site", entry = "variety", value = "yield",
                    measure = "plain", out = folder)
  cli <- command_line_run(test_path("variety_trial.csv"),
                          c("--location", "site", "--entry", "variety", "--value", "yield",
                            "--correlation", "plain"))
  files <- sort(list.files(cli$folder))
  expect_identical(sort(list.files(folder)), files)
  for (file in files) {
    expect_identical(unname(tools::md5sum(file.path(folder, file))),
                     unname(tools::md5sum(file.path(cli$folder, file))), label = file)
  }
})

test_that("years given as numbers, factors or text give the same result", {
  data <- read.csv(test_path("small.csv"), stringsAsFactors = FALSE)
  expected <- analyse(data, location = "site", entry = "variety", value = "yield",
                      measure = "centred")
  for (years in list(as.character(data$year), factor(data$year), as.double(data$year))) {
    data$year <- years
    result <- analyse(data, location = "site", entry = "variety", value = "yield",
                      measure = "centred")
    expect_identical(result$matrix, expected$matrix)
    expect_identical(result$tree, expected$tree)
  }
})

test_that("years that are large whole numbers keep their digits", {
  data <- read.csv(test_path("small.csv"), stringsAsFactors = FALSE)
  data$year <- ifelse(data$year == 2018, 100000, 200000)
  result <- analyse(data, location = "site", entry = "variety", value = "yield",
                    measure = "centred")
  expect_identical(unique(result$years$year), c("100000", "200000"))
  expect_identical(unique(result$years$year_number), 1:2)
})

test_that("a missing value is left out, as an empty field of the table is", {
  data <- read.csv(test_path("small.csv"), stringsAsFactors = FALSE)
  data$yield[c(2, 7)] <- c(NA, NaN)
  table <- tempfile(fileext = ".csv")
  write.csv(data, table, row.names = FALSE, na = "")
  result <- analyse(data, location = "site", entry = "variety", value = "yield",
                    measure = "centred")
  skip_if(program == "", "LOCPROX_PROGRAM not set")
  cli <- command_line_run(table, c("--location", "site", "--entry", "variety", "--value",
                                   "yield", "--distance", "centred"))
  pairs <- read_table(cli$folder, ".pairs.csv")
  expect_identical(result$pairs$sum, as.double(pairs$sum))
  expect_identical(result$pairs$entries_in_common, pairs$entries_in_common)
})

test_that("the bundled example runs, prints its account and plots", {
  result <- analyse(small_trial, location = "site", entry = "variety", value = "yield",
                    measure = "centred", groups = 2)
  expect_identical(capture.output(print(result)), strsplit(result$account, "\n")[[1]])
  expect_match(result$account, "2 groups", fixed = TRUE)
  # Nothing was kept: the account names no file written and no scratch folder.
  expect_no_match(result$account, "written|locprox[0-9a-f]{4}")
  expect_identical(result$names, c("A", "B", "C"))
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  expect_invisible(plot(result))
})

bad_inputs <- list(
  list(name = "a missing column", change = function(d) d, args = list(location = "nowhere"),
       message = "no column \"nowhere\" for the location"),
  list(name = "an infinite value", change = function(d) { d$yield[3] <- Inf; d },
       message = "data, row 3 (\"yield\"): Inf is not finite"),
  list(name = "a value beyond 1e30", change = function(d) { d$yield[1] <- -1e31; d },
       message = "data, row 1 (\"yield\"): -1e+31 is beyond 1.0E+30 in magnitude"),
  list(name = "a location that is NA", change = function(d) { d$site[2] <- NA; d },
       message = "data, row 2 (\"site\"): the location is empty"),
  list(name = "values that are text", change = function(d) { d$yield <- "high"; d },
       message = "not numeric"),
  list(name = "a year not in the data", change = function(d) d, args = list(from = "1700"),
       message = "1700"),
  list(name = "more groups than locations", change = function(d) d, args = list(groups = 9),
       message = "more groups than the 3 locations"),
  list(name = "no rows", change = function(d) d[0, ], message = "no rows")
)

for (bad in bad_inputs) {
  test_that(paste("bad input gives an R error:", bad$name), {
    data <- bad$change(read.csv(test_path("small.csv"), stringsAsFactors = FALSE))
    args <- utils::modifyList(list(data = data, location = "site", entry = "variety",
                                   value = "yield", measure = "centred"),
                              if (is.null(bad$args)) list() else bad$args)
    expect_error(do.call(analyse, args), bad$message, fixed = TRUE)
  })
}

test_that("read_proximity() of a file that is not a proximity file is an R error", {
  path <- tempfile(fileext = ".PRX")
  writeLines("not a proximity file", path)
  expect_error(read_proximity(path), basename(path), fixed = TRUE)
  expect_error(read_proximity(tempfile()), "cannot", fixed = TRUE)
  expect_error(analyse("not a frame"), "data frame")
})

test_that("the summary's warnings are R warnings", {
  data <- read.csv(test_path("small.csv"), stringsAsFactors = FALSE)
  folder <- tempfile("r")
  analyse(data, location = "site", entry = "variety", value = "yield", measure = "centred",
          out = folder)
  # A names table whose short names are not the names file's belongs to
  # another import: the summary warns and shows the names file's names.
  table_path <- file.path(folder, "data.names.csv")
  table <- readLines(table_path)
  table <- sub("^location,1,A,A$", "location,1,Z,Zeta", table)
  writeLines(table, table_path)
  expect_warning(result <- read_proximity(file.path(folder, "data.PRX")),
                 "is not the table of", fixed = TRUE)
  expect_identical(result$names, c("A", "B", "C"))
})

test_that("read_proximity(year = N) gives the running sums after year N", {
  data <- read.csv(test_path("variety_trial.csv"), stringsAsFactors = FALSE)
  folder <- tempfile("r")
  analyse(data, location = "site", entry = "variety", value = "yield", measure = "centred",
          out = folder)
  first_years <- analyse(data, location = "site", entry = "variety", value = "yield",
                         measure = "centred", to = "#2")
  second <- read_proximity(file.path(folder, "data.PRX"), year = 2)
  expect_identical(second$pairs, first_years$pairs)
  expect_identical(second$tree, first_years$tree)
  expect_error(read_proximity(file.path(folder, "data.PRX"), year = 99), "99")
})

test_that("an analysis that compares no pair is an R error and leaves no earlier summary", {
  data <- read.csv(test_path("small.csv"), stringsAsFactors = FALSE)
  folder <- tempfile("r")
  analyse(data, location = "site", entry = "variety", value = "yield", measure = "centred",
          out = folder)
  expect_true(file.exists(file.path(folder, "data.pairs.csv")))
  # Three entries a year: Fisher's z leaves none once three are taken off.
  expect_error(analyse(data, location = "site", entry = "variety", value = "yield",
                       out = folder), "compare")
  expect_false(file.exists(file.path(folder, "data.pairs.csv")))
  expect_false(file.exists(file.path(folder, "data.tree.csv")))
})

test_that("replicates far apart give an R warning", {
  data <- read.csv(test_path("small.csv"), stringsAsFactors = FALSE)
  extra <- data[c(1, 1, 4, 4), ]
  extra$yield <- c(1.6, 90, 2.1, 2.2)
  expect_warning(analyse(rbind(data, extra), location = "site", entry = "variety",
                         value = "yield", measure = "centred"),
                 "1 cell has rows far apart", fixed = TRUE)
})
