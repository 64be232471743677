\name{read_proximity}
\alias{read_proximity}
\title{Read a proximity file made by the command line}
\description{
Reads a proximity file (\file{STEM.PRX}, written by \code{locprox run} or
\code{locprox analyse}) and the names beside it (\file{STEM.names.csv}, else
the names file \file{STEM.NAQ}) through the summary's own readers, and
summarises it into the same object as \code{\link{analyse}} gives. Nothing is
written beside the file.
}
\usage{read_proximity(path, year = NULL, groups = NULL)}
\arguments{
  \item{path}{the proximity file.}
  \item{year}{the number of the year whose running sums are summarised, as
    \code{locprox-summary --year}; by default the last year of the run, the
    result of the whole sequence.}
  \item{groups}{a number of groups, as \code{groups} of \code{\link{analyse}};
    by default the summary groups the locations by the number the tree's
    heights suggest, for its account and its stability table only.}
}
\value{An object of class \code{locprox}; see \code{\link{analyse}}.}
\details{A file that is not a proximity file, or one left by a refused run,
is an R error with the summary's message.}
\examples{
data(small_trial)
folder <- tempfile()
result <- analyse(small_trial, location = "site", entry = "variety",
                  value = "yield", measure = "centred", out = folder)
again <- read_proximity(file.path(folder, "data.PRX"))
identical(again$matrix, result$matrix)
unlink(folder, recursive = TRUE)
}
