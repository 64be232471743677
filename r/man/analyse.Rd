\name{analyse}
\alias{analyse}
\alias{locprox}
\title{Proximity of trial locations from a data frame}
\description{
Imports a trial data frame in memory as \code{locprox import} imports a table
(the same numbering of years, locations and entries, replicate means in single
precision, the same short names), runs the job and summarises it, all with the
engine's own C++ code in the R process. The numbers are those of the command
\code{locprox analyse} on the same table, to the last bit.
}
\usage{
analyse(data, year = "year", location = "location", entry = "entry",
        value = "value",
        measure = c("fisher-z", "plain", "centred", "standardised"),
        weighted = TRUE, replicates = c("mean", "last"), from = NULL,
        to = NULL, groups = NULL, out = NULL)
}
\arguments{
  \item{data}{a data frame, one row per plot.}
  \item{year, location, entry}{the names of the columns holding the year,
    location and entry of each row: character, factor or numeric. Years that
    are all numbers are numbered in ascending numeric order, other years in
    order of first appearance; locations and entries in order of first
    appearance. Blanks at either end of a name are dropped; an empty or
    \code{NA} name is an error.}
  \item{value}{the name of the numeric column of observed values. \code{NA}
    (and \code{NaN}) values are left out as missing; an infinite value or one
    beyond 1e30 in magnitude is an error. Values are held in single
    precision, as the engine holds them.}
  \item{measure}{the proximity measure: correlation averaged through Fisher's
    z (\code{"fisher-z"}), plain correlation (\code{"plain"}), or the squared
    Euclidean distance of location-centred (\code{"centred"}) or
    standardised (\code{"standardised"}) values.}
  \item{weighted}{whether each year's value is weighted by the entries the
    pair had in common.}
  \item{replicates}{several rows for one year, location and entry: one
    observation, their mean (\code{"mean"}), or every row, the run keeping the
    last (\code{"last"}).}
  \item{from, to}{the first and last year of the sequence analysed, by name
    (or \code{"#N"} for year number N); by default all years.}
  \item{groups}{a number of groups: the tree is cut into that many and the
    result has a \code{groups} element.}
  \item{out}{a folder; when given, it receives the job files and every
    output the command line writes (the report, the proximity file, the CSV
    tables, the picture), byte for byte the same as
    \code{locprox analyse TABLE --job data --title data}. By default nothing
    is kept.}
}
\value{
An object of class \code{locprox}, a list with
\item{pairs}{a data frame with the columns of the command line's
  \file{pairs.csv}: \code{location_i}, \code{name_i}, \code{location_j},
  \code{name_j}, \code{average} (\code{NA} for a pair never compared),
  \code{sum}, \code{entries_in_common}, \code{years_compared} and the trust
  figures \code{ci_low}, \code{ci_high}, \code{heterogeneity_q},
  \code{heterogeneity_df}, \code{heterogeneity_p} and \code{sd_years}
  (\code{NA} where the summary has none).}
\item{matrix}{the averages as a symmetric numeric matrix with the full
  location names as dimnames, \code{NA} where there is none.}
\item{tree}{an \code{\link[stats]{hclust}} object: average linkage on the
  distance (or 1 - r) of the pairs compared; clusters with no compared pair
  between them join last, at an infinite height, as in \file{tree.csv}.}
\item{names}{the full location names, by location number.}
\item{years}{each year's own value of every pair compared that year: the
  columns of \file{years.csv}.}
\item{groups}{with \code{groups}: each location's group, numbered as the
  summary numbers them, named by location.}
\item{stability}{the leave-one-year-out table of \file{stability.csv}, when
  the summary grouped the locations (with \code{groups}, or by the number the
  tree's heights suggest).}
\item{account}{the summary's account, as \code{print} shows it.}
The averages, sums and heights are full doubles; the CSV files round
averages and heights to 9 significant digits.
}
\details{
Warnings of the import (replicates whose rows lie far apart, a single
location), of the run and of the summary become R warnings; a fault of the
data or of the run, and an analysis that compares no pair, become an R error
with the engine's message. Nothing is written to the console except through
R. Row i of \code{data} stands for line i + 1 of a table with a header line:
the lines that \file{data.replicates.csv} lists for merged replicates.
}
\seealso{\code{\link{read_proximity}}, \code{\link{print.locprox}}}
\examples{
data(small_trial)
result <- analyse(small_trial, location = "site", entry = "variety",
                  value = "yield", measure = "centred", groups = 2)
result
result$matrix
stats::cutree(result$tree, 2)
head(as.data.frame(result))
}
