#' @useDynLib locprox, .registration = TRUE
NULL

analyse <- function(data, year = "year", location = "location", entry = "entry",
                    value = "value",
                    measure = c("fisher-z", "plain", "centred", "standardised"),
                    weighted = TRUE, replicates = c("mean", "last"), from = NULL,
                    to = NULL, groups = NULL, out = NULL) {
  measure <- match.arg(measure)
  replicates <- match.arg(replicates)
  if (!is.data.frame(data)) stop("data must be a data frame", call. = FALSE)
  columns <- c(year = year, location = location, entry = entry, value = value)
  for (role in names(columns)) {
    column <- columns[[role]]
    if (!is.character(column) || length(column) != 1 || !column %in% names(data)) {
      stop(sprintf("no column \"%s\" for the %s in data (%s); name it with %s =",
                   paste(column, collapse = ""), role,
                   paste0("\"", names(data), "\"", collapse = ", "), role), call. = FALSE)
    }
  }
  values <- data[[value]]
  if (is.logical(values) && all(is.na(values))) values <- as.double(values)
  if (!is.numeric(values)) {
    stop(sprintf("the value column \"%s\" is not numeric", value), call. = FALSE)
  }
  if (!isTRUE(weighted) && !isFALSE(weighted)) stop("weighted must be TRUE or FALSE", call. = FALSE)
  groups <- groups_argument(groups)
  year_argument <- function(x, what) {
    if (is.null(x)) return(NULL)
    if (length(x) != 1 || is.na(x)) stop(sprintf("%s must be one year", what), call. = FALSE)
    enc2utf8(as.character(x))
  }
  from <- year_argument(from, "from")
  to <- year_argument(to, "to")
  names_of <- function(x) {
    if (is.double(x)) {
      # Whole numbers as digits (100000, not 1e+05), others to 15 digits.
      whole <- !is.na(x) & x == round(x) & abs(x) < 1e15
      text <- as.character(x)
      text[whole] <- sprintf("%.0f", x[whole])
      x <- text
    }
    x <- enc2utf8(as.character(x))
    x[is.na(x)] <- ""
    x
  }

  folder <- if (is.null(out)) tempfile("locprox") else out
  if (is.null(out)) on.exit(unlink(folder, recursive = TRUE), add = TRUE)
  stem <- "data"
  result <- analyse_columns(names_of(data[[year]]), names_of(data[[location]]),
                            names_of(data[[entry]]), as.double(values),
                            enc2utf8(unname(columns)), folder, stem, measure, weighted,
                            replicates == "last", from, to, as.integer(groups))
  for (message in result$import_warnings) warning(message, call. = FALSE)
  result$import_warnings <- NULL
  run_warnings <- strsplit(result$run_messages, "\n", fixed = TRUE)[[1]]
  for (message in sub("^locprox: ", "", run_warnings[nzchar(run_warnings)])) {
    warning(message, call. = FALSE)
  }
  result$run_messages <- NULL
  result$stability <- stability_table(file.path(folder, paste0(stem, ".stability.csv")))
  if (is.null(out)) result$account <- kept_nothing(result$account, folder)
  locprox_object(result)
}

read_proximity <- function(path, year = NULL, groups = NULL) {
  if (!is.character(path) || length(path) != 1 || is.na(path)) {
    stop("path must be the name of one proximity file", call. = FALSE)
  }
  if (is.null(year)) {
    year <- NA_integer_
  } else if (length(year) != 1 || is.na(year) || year != round(year)) {
    stop("year must be one year number", call. = FALSE)
  }
  groups <- groups_argument(groups)
  scratch <- tempfile("locprox")
  dir.create(scratch)
  on.exit(unlink(scratch, recursive = TRUE), add = TRUE)
  stem <- sub("\\.[Pp][Rr][Xx]$", "", basename(path))
  result <- read_prox(path.expand(path), as.integer(year), groups, file.path(scratch, stem))
  result$stability <- stability_table(file.path(scratch, paste0(stem, ".stability.csv")))
  result$account <- kept_nothing(result$account, scratch)
  locprox_object(result)
}

# The account of a summary whose files went into a scratch folder that is
# removed: without the folder in its paths and without its line of files
# written.
kept_nothing <- function(account, folder) {
  lines <- strsplit(gsub(paste0(folder, "/"), "", account, fixed = TRUE), "\n")[[1]]
  paste0(paste(lines[!grepl("^  written ", lines)], collapse = "\n"), "\n")
}

# A number of groups for the engine: 0 for none.
groups_argument <- function(groups) {
  if (is.null(groups)) return(0L)
  if (!is.numeric(groups) || length(groups) != 1 || is.na(groups) || groups < 1 ||
      groups != round(groups) || groups > .Machine$integer.max) {
    stop("groups must be one whole number of at least 1", call. = FALSE)
  }
  as.integer(groups)
}

# The summary's leave-one-year-out table, where it wrote one.
stability_table <- function(path) {
  if (!file.exists(path)) return(NULL)
  utils::read.csv(path, stringsAsFactors = FALSE, check.names = FALSE)
}

# The engine's results as an object of class locprox: the summary's warnings
# given as R warnings, the tree as an hclust object.
locprox_object <- function(result) {
  for (message in result$warnings) warning(message, call. = FALSE)
  result$warnings <- NULL
  tree <- result$tree
  result$tree <- structure(list(merge = tree$merge, height = tree$height, order = tree$order,
                                labels = tree$labels, method = "average", call = NULL,
                                dist.method = "locprox"), class = "hclust")
  structure(result, class = "locprox")
}

print.locprox <- function(x, ...) {
  cat(x$account)
  invisible(x)
}

as.data.frame.locprox <- function(x, ...) x$pairs

plot.locprox <- function(x, ...) {
  order <- x$tree$order
  m <- x$matrix[order, order, drop = FALSE]
  old <- graphics::par(no.readonly = TRUE)
  on.exit(graphics::par(old))
  graphics::layout(matrix(1:2, nrow = 2), heights = c(1, 2))
  # Pairs never compared join at an infinite height; they are drawn a step
  # above the highest finite join.
  drawn <- x$tree
  finite <- drawn$height[is.finite(drawn$height)]
  top <- if (length(finite) > 0) max(finite) else 1
  drawn$height[!is.finite(drawn$height)] <- top * 1.1 + (top == 0)
  graphics::par(mar = c(0, 6, 2, 1))
  plot(drawn, main = "", xlab = "", sub = "", labels = FALSE, hang = -1, axes = FALSE, ...)
  graphics::par(mar = c(6, 6, 0, 1))
  n <- nrow(m)
  graphics::image(seq_len(n), seq_len(n), m[, rev(seq_len(n)), drop = FALSE],
                  col = grDevices::hcl.colors(64, "Blue-Red 3", rev = TRUE),
                  axes = FALSE, xlab = "", ylab = "")
  graphics::axis(1, seq_len(n), rownames(m), las = 2, tick = FALSE)
  graphics::axis(2, seq_len(n), rev(colnames(m)), las = 2, tick = FALSE)
  invisible(x)
}
